// SPDX-License-Identifier: GPL-3.0-or-later
// A card another user published, as "GetInfo" answers it, through the client's reading of the answer into
// a card window (offscreen), which is drawn and whose e-mail and home page buttons are pressed. The card
// may come from anybody: only a mail address reaches the mail program, only a web page with a host the
// browser, and nothing else leaves the program. A button refusing an address says so in a message box,
// which is answered.
//
// Input: the answer's values, the nick and the eleven fields joined by "|" as the server sends them.

#include "chat_client.h"
#include "fontconfig_leak.h"
#include "harness_arguments.h"
#include "info_form.h"
#include "message_box_answerer.h"

#include <QApplication>
#include <QDesktopServices>
#include <QPushButton>
#include <QUrl>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

void check(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "fuzz_card_window: %s\n", what);
        std::abort();
    }
}

// Takes every address QDesktopServices is asked to open under the schemes it is registered for.
class OpenedAddresses : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl& address) { opened.append(address); }
};

// Schemes whose addresses the buttons must never hand on; the harness takes them so that none is really
// opened.
constexpr const char* kForeignSchemes[] = {"file", "ftp", "javascript", "data", "smb", "ssh"};
constexpr const char* kAllowedSchemes[] = {"mailto", "http", "https"};

struct Environment
{
    // Kept to the end of the process: Qt's font caches outlive a destroyed application and would read as
    // leaks.
    Environment() : application(new QApplication(arguments.argc, arguments.argv))
    {
        for (const char* scheme : kAllowedSchemes) {
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &addresses, "open");
        }
        for (const char* scheme : kForeignSchemes) {
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &addresses, "open");
        }
    }

    kovrel::fuzz::HarnessArguments arguments{"fuzz_card_window"};
    QApplication* application;
    OpenedAddresses addresses;
    kovrel::test::MessageBoxAnswerer answerer;
    // One card window, as the first card received opens it, shows every input in turn.
    kovrel::TInfoForm* card = kovrel::TInfoForm::showCard({}, nullptr);
};

void press(kovrel::TInfoForm& form, const char* button)
{
    auto* found = form.findChild<QPushButton*>(QLatin1String(button));
    check(found != nullptr, "the card window lost a button");
    found->click();
}

bool isHandedOnAddress(const QUrl& address)
{
    if (address.scheme() == QLatin1String("mailto")) {
        return !address.path().isEmpty() && !address.hasQuery();
    }
    return (address.scheme() == QLatin1String("http") || address.scheme() == QLatin1String("https")) &&
           !address.host().isEmpty();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Environment environment;
    environment.card->setCard(
        kovrel::ReceivedCard(std::string_view(reinterpret_cast<const char*>(data), size)));
    environment.card->grab();
    press(*environment.card, "Button3");
    press(*environment.card, "Button4");
    for (const QUrl& address : environment.addresses.opened) {
        check(isHandedOnAddress(address), "the card window handed on an address it must keep");
    }
    environment.addresses.opened.clear();
    environment.answerer.texts.clear();
    return 0;
}

#include "fuzz_card_window.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
// The client's receive path as the program runs it: fields from a server played by the harness, over a
// loopback socket, through the connection's stream reader and the dispatcher into the client core and the
// real main window (offscreen): its pages, user list, floating windows, important-line pop-ups and card
// windows. One window, logged in once, serves the whole run: after each input it is brought back to what a
// fresh log-in shows, and a field that logged it out is followed by a new log-in before the next input. No
// field sequence may crash the client or keep it from reading on.
//
// Input: field texts, each ended by a zero byte (no field text holds one). After them the harness sends a
// probe and waits for the client to answer it, or to have logged out when a field told it to.

#include "chat_client.h"
#include "chat_main_form.h"
#include "conversation_pages.h"
#include "fontconfig_leak.h"
#include "harness_arguments.h"
#include "important_message_form.h"
#include "info_form.h"
#include "packet.h"
#include "scripted_peer.h"
#include "settings_layout.h"
#include "settings_sandbox.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace std::chrono_literals;
using kovrel::ChatClient;
using kovrel::TChatMainForm;

// The field that ends every input; the client sends it back unchanged.
const std::string kEndProbe = "TestConnection|end of input";
// A client that answers nothing for this long is taken to hang.
constexpr int kHangMs = 10000;
// A user whose floating window was left open when the program last ran, so that fields about this nick
// (its arrival, state and departure) reach a floating window; the seeds name this user.
const QString kFloatingNick = QStringLiteral("Петя");
// How often a modal window, which the receive path must never open, is looked for and closed.
constexpr std::chrono::milliseconds kModalCheckInterval = 100ms;

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "fuzz_client_receive: %s\n", what);
    std::abort();
}

// Runs the event loop until `done` holds, sleeping while nothing happens; false after kHangMs.
bool runUntil(const std::function<bool()>& done)
{
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.start(kHangMs);
    while (!done()) {
        if (!deadline.isActive()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Keeps the card windows the main window opens from being drawn: it sees each one polished, just before
// it is first shown.
class CardWindowsUndrawn : public QObject
{
public:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override
    {
        if (event->type() == QEvent::ChildPolished) {
            if (auto* card = qobject_cast<kovrel::TInfoForm*>(static_cast<QChildEvent*>(event)->child())) {
                card->setUpdatesEnabled(false);
            }
        }
        return false;
    }
};

// The application, the server, the settings and the window, kept for the whole run.
class Environment
{
public:
    Environment() : m_application(m_arguments.argc, m_arguments.argv)
    {
        kovrel::WritePort(m_peer.port());
        kovrel::WriteHost(QString());
        kovrel::WriteAddress(QStringLiteral("127.0.0.1"));
        kovrel::WriteNick(QStringLiteral("Вася"));
        kovrel::WriteAnotherNick(QStringLiteral("Василий"));
        kovrel::WriteFirstTime(false);
        kovrel::WriteFloatClosed(kFloatingNick, false);
        m_window = std::make_unique<TChatMainForm>();
        m_window->show();
        // Shown, as the program's window is, but never drawn: drawing the whole window after every input
        // would cost more than the input. Of the windows the fields open, the pop-ups and floating windows
        // are drawn; card windows are made, filled and shown, and drawn by fuzz_card_window, which feeds
        // them card texts directly.
        m_window->setUpdatesEnabled(false);
        m_window->installEventFilter(&m_cardsUndrawn);
        client().session().setAnswerWaits(2s, 2s);
        m_pages = m_window->findChild<kovrel::ConversationPages*>(QStringLiteral("PageControl1"));
        if (!m_pages) {
            fail("the window has no conversation pages");
        }
        QObject::connect(&m_modalCheck, &QTimer::timeout, [] { closeModalWindow(); });
        m_modalCheck.start(kModalCheckInterval);
    }

    // One input: the fields and the probe, then the window back as a fresh log-in shows it.
    void run(const std::vector<std::string>& fields)
    {
        if (!client().isConnected()) {
            logIn();
        }
        m_peer.forgetReceived();
        std::string packet = kovrel::BuildPacket(fields);
        kovrel::AppendFramedField(packet, kEndProbe);
        m_peer.sendRaw(packet);
        if (!runUntil([&] { return answeredEndProbe() || !client().isConnected(); })) {
            fail("the client stopped reading: no answer to the probe after the input");
        }
        startOver();
    }

private:
    ChatClient& client() { return m_window->client(); }

    void logIn()
    {
        m_window->Button1Click();
        if (!client().isConnected()) {
            fail("the client did not log in to the harness's server");
        }
    }

    bool answeredEndProbe() const
    {
        const auto& received = m_peer.fields();
        return std::find(received.begin(), received.end(), kEndProbe) != received.end();
    }

    // The lines still waiting for the pages' timer are written onto the pages; then every private page
    // closes, the common page is emptied, the windows the fields opened go, and the core forgets what the
    // fields set up.
    void startOver()
    {
        m_pages->flushLines();
        while (m_pages->count() > 1) {
            m_pages->setCurrentIndex(m_pages->count() - 1);
            m_pages->ToolButton4Click();
        }
        m_pages->ToolButton3Click();
        qDeleteAll(m_window->findChildren<kovrel::TInfoForm*>(Qt::FindDirectChildrenOnly));
        qDeleteAll(m_window->findChildren<kovrel::TImpotatntMessageForm*>(Qt::FindDirectChildrenOnly));
        client().forgetServerState();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Nothing received may wait for the user: a modal window would stop the run, so it is closed and told.
    static void closeModalWindow()
    {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "fuzz_client_receive: closed a modal window: %s\n",
                         qPrintable(dialog->windowTitle()));
            dialog->reject();
        }
    }

    kovrel::fuzz::HarnessArguments m_arguments{"fuzz_client_receive"};
    QApplication m_application;
    kovrel::test::SettingsSandbox m_sandbox;
    kovrel::test::ScriptedPeer m_peer;
    std::unique_ptr<TChatMainForm> m_window;
    kovrel::ConversationPages* m_pages = nullptr;
    CardWindowsUndrawn m_cardsUndrawn;
    QTimer m_modalCheck;
};

std::vector<std::string> splitFields(std::string_view input)
{
    std::vector<std::string> fields;
    while (!input.empty()) {
        const std::size_t end = std::min(input.find('\0'), input.size());
        fields.emplace_back(input.substr(0, std::min(end, kovrel::kMaxFieldTextSize)));
        input.remove_prefix(std::min(end + 1, input.size()));
    }
    return fields;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/)
{
    // Every line is stamped with the local time, and with TZ unset glibc examines /etc/localtime again for
    // every stamp. The harness's lines are stamped in UTC.
    ::setenv("TZ", "UTC", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Environment environment;
    environment.run(splitFields(std::string_view(reinterpret_cast<const char*>(data), size)));
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "client_about_dialog.h"

#include "message_box_answerer.h"

#include <algorithm>
#include <functional>
#include <utility>

#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "artwork.h"
#include "kovrel_contacts.h"
#include "kovrel_version.h"
#include "qt_printers.h"

namespace {

using kovrel::kHomePageAddress;
using kovrel::kMaintainersMailAddress;
using kovrel::TClientAboutDialog;
using namespace Qt::Literals::StringLiterals;

template <typename Control = QWidget> Control* control(const QWidget& dialog, const QString& name)
{
    auto* found = dialog.findChild<Control*>(name);
    if (found == nullptr)
        ADD_FAILURE() << "no control " << name.toStdString();
    return found;
}

void click(const QWidget& dialog, const QString& name)
{
    QTest::mouseClick(control(dialog, name), Qt::LeftButton);
}

// The offscreen platform warns of every change of a window's size limits: two for each pixel rolled down.
QtMessageHandler g_previousHandler = nullptr;

void dropSizeHintWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message != u"This plugin does not support propagateSizeHints()"_s)
        g_previousHandler(type, context, message);
}

void rollDown(const QWidget& dialog)
{
    g_previousHandler = qInstallMessageHandler(dropSizeHintWarnings);
    click(dialog, u"Button2"_s);
    qInstallMessageHandler(g_previousHandler);
}

// Runs the menu's entry with `actions` done on the dialog it opens; a dialog still open after them is
// closed, so that a failing test cannot hang.
void openAbout(const std::function<void(TClientAboutDialog&)>& actions)
{
    QTimer::singleShot(0, [actions] {
        auto* dialog = qobject_cast<TClientAboutDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr) << "the dialog is not shown modally";
        actions(*dialog);
        dialog->reject();
    });
    TClientAboutDialog::execute();
}

// The heights at which the dialog was painted while the busy pointer was up, each once.
class BusyPaints : public QObject
{
public:
    explicit BusyPaints(QWidget& widget) { widget.installEventFilter(this); }

    QList<int> heights;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QCursor* pointer = QApplication::overrideCursor();
        const int height = static_cast<QWidget*>(watched)->height();
        if (event->type() == QEvent::Paint && pointer != nullptr && pointer->shape() == Qt::BusyCursor &&
            (heights.isEmpty() || heights.last() != height))
            heights.append(height);
        return false;
    }
};

QList<int> everyHeight(int from, int to)
{
    QList<int> heights;
    for (int height = from; height <= to; ++height)
        heights.append(height);
    return heights;
}

TEST(AboutDialogRollDownTest, UnrollsAPixelAtATimeToTheCreditsWithOkCentredBelowThem)
{
    TClientAboutDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.size(), QSize(265, 170));
    BusyPaints painted(dialog);

    rollDown(dialog);

    EXPECT_EQ(dialog.size(), QSize(265, 370));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "the size stays fixed";
    EXPECT_EQ(control(dialog, u"Button1"_s)->geometry(), QRect((265 - 75) / 2, 329, 75, 25));
    EXPECT_FALSE(control(dialog, u"Button2"_s)->isVisible());
    EXPECT_EQ(control(dialog, u"Bevel1"_s)->y(), 313);
    EXPECT_TRUE(control(dialog, u"Memo2"_s)->isVisible());
    EXPECT_TRUE(control(dialog, u"Image2"_s)->isVisible());
    EXPECT_EQ(painted.heights, everyHeight(171, 370)) << "every step is painted under the busy pointer";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the pointer is given back";
}

TEST(AboutDialogRollDownTest, EveryOpeningIsAFreshDialogRolledUpThatOkCloses)
{
    QPointer<TClientAboutDialog> first;
    openAbout([&](TClientAboutDialog& dialog) {
        first = &dialog;
        EXPECT_EQ(dialog.parent(), nullptr);
        rollDown(dialog);
        click(dialog, u"Button1"_s);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_TRUE(first.isNull()) << "destroyed once closed";

    openAbout([](TClientAboutDialog& dialog) {
        EXPECT_EQ(dialog.size(), QSize(265, 170));
        EXPECT_TRUE(control(dialog, u"Button2"_s)->isVisible());
        EXPECT_FALSE(control(dialog, u"Memo2"_s)->isVisible());
        EXPECT_FALSE(control(dialog, u"Image2"_s)->isVisible());
    });
}

// Takes over the addresses of one scheme that the dialog hands to the desktop, recording them.
class OpenedUrls : public QObject
{
    Q_OBJECT

public:
    explicit OpenedUrls(const QString& scheme) : m_scheme(scheme)
    {
        QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    ~OpenedUrls() override { QDesktopServices::unsetUrlHandler(m_scheme); }

    Q_INVOKABLE void open(const QUrl& url) { urls.append(url.toString()); }

    QStringList urls;

private:
    QString m_scheme;
};

TEST(AboutDialogLinksTest, EachLinkOpensExactlyOurAddress)
{
    TClientAboutDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    kovrel::test::MessageBoxAnswerer messages;
    OpenedUrls pages(u"https"_s);
    OpenedUrls mail(u"mailto"_s);

    click(dialog, u"Label3"_s);
    click(dialog, u"Label2"_s);

    EXPECT_EQ(pages.urls, QStringList(kHomePageAddress.toString()));
    EXPECT_EQ(mail.urls, QStringList(u"mailto:"_s + kMaintainersMailAddress.toString()))
        << "the blank after \"E-Mail:\" stays out of the address";
    EXPECT_EQ(messages.texts, QStringList());
    EXPECT_TRUE(dialog.isVisible());
}

// The offscreen platform has no desktop services: openUrl fails there as on a desktop with no browser and
// no mail program.
TEST(AboutDialogLinksTest, WithNoProgramForALinkTheDialogSaysSoAndStaysOpen)
{
    if (QGuiApplication::platformName() != u"offscreen"_s)
        GTEST_SKIP() << "a real desktop would open the links";
    TClientAboutDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    kovrel::test::MessageBoxAnswerer messages;

    click(dialog, u"Label3"_s);
    click(dialog, u"Label2"_s);

    EXPECT_EQ(messages.texts, QStringList({u"Kovrel: Броузер Интернета не установлен..."_s,
                                           u"Kovrel: Почтовая служба не установлена..."_s}));
    EXPECT_TRUE(dialog.isVisible());
}

// The dialog has no owner to take the icon from: it carries the program's own, as every other window.
TEST(AboutDialogIconTest, OpensWithTheApplicationIcon)
{
    QImage shown;
    openAbout([&](TClientAboutDialog& dialog) {
        shown = dialog.windowIcon().pixmap(QSize(32, 32), 1.0).toImage();
    });
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown, kovrel::artwork::applicationIcon().pixmap(QSize(32, 32), 1.0).toImage());
}

TEST(AboutDialogCreditsTest, NameTheBuildAndTabPassesThemBy)
{
    TClientAboutDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    rollDown(dialog);
    const auto* credits = control<QPlainTextEdit>(dialog, u"Memo2"_s);

    EXPECT_TRUE(credits->toPlainText().contains(QString::fromUtf8(kovrel::kVersion.data())));
    for (int press = 0; press < 3; ++press) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), control(dialog, u"Button1"_s));
    }
}

// Every library the programs link is named with its licence, the one a line of the credits ends with.
TEST(AboutDialogCreditsTest, NameEachLinkedLibraryWithItsLicence)
{
    TClientAboutDialog dialog;
    const QString credits = control<QPlainTextEdit>(dialog, u"Memo2"_s)->toPlainText();
    const QStringList lines = QString(credits).replace(QChar(0xa0), u' ').split(u'\n');
    const std::pair<QString, QString> licences[] = {
        {u"Kovrel"_s, u"GNU GPL 3.0 или более поздняя"_s},
        {u"Qt 6"_s, u"GNU LGPL 3.0"_s},
        {u"QtKeychain"_s, u"BSD-3-Clause"_s},
        {u"libcanberra"_s, u"GNU LGPL 2.1"_s},
        {u"Asio"_s, u"Boost Software License 1.0"_s},
        {u"SQLite"_s, u"общественное достояние"_s},
        {u"hiredis"_s, u"BSD-3-Clause"_s},
        {u"OpenSSL"_s, u"Apache License 2.0"_s},
    };
    for (const auto& [library, licence] : licences) {
        const QString credit = library + u" — "_s + licence;
        EXPECT_TRUE(std::ranges::any_of(lines, [&](const QString& line) { return line.endsWith(credit); }))
            << "no line ends with \"" << credit.toStdString() << "\"";
    }
}

} // namespace

#include "about_dialog_test.moc"

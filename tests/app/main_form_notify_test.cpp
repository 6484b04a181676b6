// SPDX-License-Identifier: GPL-3.0-or-later
// Notifications, the tray icon and personal cards in the main window, against a scripted server.

#include "main_form_fixture.h"

#include "artwork.h"
#include "chat_client.h"
#include "cp1251.h"
#include "scripted_peer.h"

#include <QDialog>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>

namespace kovrel::test {
namespace {

using namespace std::chrono_literals;

std::string wire(const std::string& utf8)
{
    return cp1251::fromUtf8(utf8);
}

QWidget* visibleWindow(const char* className)
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->metaObject()->className() == QLatin1String(className)) {
            return window;
        }
    }
    return nullptr;
}

class MainFormNotifyTest : public MainFormTest
{
protected:
    void SetUp() override
    {
        pointAt(peer.port());
        openWindow();
        form->client().alerts().setFlashInterval(20ms);
        ASSERT_TRUE(logIn());
        ASSERT_FALSE(peer.waitForField("SetInfo|").empty());
    }

    QSystemTrayIcon* trayIcon() const { return control<QSystemTrayIcon>(form.get(), "TaskIcon"); }

    void minimize()
    {
        form->showMinimized();
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->isMinimized(); }));
    }

    ScriptedPeer peer;
};

TEST_F(MainFormNotifyTest, TheLastMessageIsTheTrayTipAndTheNotificationWindowsHint)
{
    const std::string said = std::string(70, 'x') + " конец";
    peer.send({wire("AllUser|Петя|" + said)});
    const QString whole = QString::fromStdString("Петя: " + said);
    ASSERT_TRUE(QTest::qWaitFor([&] { return trayIcon()->toolTip() == whole.left(50); }));
    QWidget* notification = nullptr;
    for (QWidget* candidate : QApplication::topLevelWidgets()) {
        if (candidate->objectName() == QLatin1String("BeepForm")) {
            notification = candidate;
        }
    }
    ASSERT_NE(notification, nullptr) << "the notification window exists, hidden, from the start";
    EXPECT_EQ(notification->toolTip(), whole) << "the window's hint holds the whole message";
    EXPECT_EQ(control<QAction>(notification, "N3")->text(), whole.left(50));
}

TEST_F(MainFormNotifyTest, MinimisedWithASoundTheNotificationWindowFlashesUntilRead)
{
    action("BeeponPublic1")->trigger();
    QAction* show = control<QAction>(form.get(), "N1");
    QAction* read = control<QAction>(form.get(), "N7");
    EXPECT_FALSE(show->isVisible()) << "the tray commands wait for the window to be minimised";
    minimize();
    QWidget* notification = visibleWindow("kovrel::TBeepForm");
    ASSERT_NE(notification, nullptr);
    EXPECT_TRUE(show->isVisible() && read->isVisible());

    peer.send({wire("AllUser|Петя|ау")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->client().alerts().isFlashing(); }));
    read->trigger();
    EXPECT_FALSE(form->client().alerts().isFlashing()) << "\"Прочёл\" stops the flash";
    EXPECT_TRUE(form->isMinimized()) << "and leaves the window where it was";
    EXPECT_TRUE(show->isVisible());

    show->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isMinimized(); }));
    EXPECT_FALSE(show->isVisible()) << "\"Показать\" brings the window back and the commands go";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !notification->isVisible(); }));
}

// Reading stops the flash in the normal pictures, opening the window's "Прочел" is reading, and its button
// brings back the conversation shown through its roster entry, whatever the letter case.
TEST_F(MainFormNotifyTest, TheNotificationWindowIsReadAndOpensTheConversationShown)
{
    const auto showsNormalPicture = [](const QIcon& icon) {
        return icon.pixmap(16).toImage() == artwork::trayIcon(0).pixmap(16).toImage();
    };
    peer.send({wire("AddUser|ПЕТЯ"), wire("PrivatUser|Петя|Вася|привет")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return pages()->currentIndex() == 1; }));
    action("BeeponPublic1")->trigger();
    minimize();
    QWidget* notification = visibleWindow("kovrel::TBeepForm");
    ASSERT_NE(notification, nullptr);
    EXPECT_TRUE(notification->testAttribute(Qt::WA_AlwaysShowToolTips)) << "its hint shows while inactive";

    peer.send({wire("AllUser|ПЕТЯ|ау")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->client().alerts().flashPhase() == 1; }));
    auto* readMenu = control<QMenu>(notification, "N1");
    readMenu->popup(notification->mapToGlobal(QPoint()));
    EXPECT_FALSE(form->client().alerts().isFlashing()) << "opening \"Прочел\" stops the flash";
    readMenu->hide();
    EXPECT_TRUE(showsNormalPicture(trayIcon()->icon())) << "the tray no longer reads as unread";
    EXPECT_TRUE(showsNormalPicture(control<QToolButton>(notification, "SpeedButton1")->icon()));

    control<QToolButton>(notification, "SpeedButton1")->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isMinimized(); }));
    EXPECT_EQ(userList()->currentIndex(), rosterRow("ПЕТЯ")) << "the entry of the page shown, in any case";
    EXPECT_EQ(control<QTabWidget>(form.get(), "PageControl1")->tabText(pages()->currentIndex()), "ПЕТЯ");
}

TEST_F(MainFormNotifyTest, ADoubleClickOnTheTrayIconBringsTheWindowBack)
{
    minimize();
    emit trayIcon()->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isMinimized(); }));
    EXPECT_FALSE(control<QAction>(form.get(), "N1")->isVisible());
}

TEST_F(MainFormNotifyTest, TheNotificationWindowSendsStatesAndComesBackInsideTheScreen)
{
    const QRect screen = form->screen()->availableGeometry();
    WriteBeepFormPosition(WindowEdge::Left, screen.right() + 500);
    WriteBeepFormPosition(WindowEdge::Top, screen.bottom() + 500);
    openWindow();
    ASSERT_TRUE(logIn());
    action("BeeponPrivate1")->trigger();
    minimize();
    QWidget* notification = visibleWindow("kovrel::TBeepForm");
    ASSERT_NE(notification, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return screen.contains(notification->frameGeometry()); }))
        << "a place beyond the screen is pulled back";
    control<QAction>(notification, "State2")->trigger();
    EXPECT_EQ(peer.waitForField("StateUser|"), wire("StateUser|Вася|2"));
}

TEST_F(MainFormNotifyTest, TheOwnCardIsEditedStoredAndPublished)
{
    QTimer::singleShot(0, [] {
        QWidget* card = QApplication::activeModalWidget();
        ASSERT_NE(card, nullptr);
        EXPECT_EQ(card->windowTitle(), "Информация");
        auto* city = card->findChild<QLineEdit*>(QStringLiteral("Edit5"));
        city->setText(QStringLiteral("Тверь"));
        card->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    });
    action("Info1")->trigger();
    EXPECT_EQ(ReadInfoField(InfoField::City), "Тверь");
    const std::string sent = peer.waitForField("SetInfo|");
    EXPECT_EQ(sent.rfind(wire("SetInfo|Вася|N/A|N/A|N/A|Тверь|"), 0), 0u) << sent;
}

TEST_F(MainFormNotifyTest, AnotherUsersCardIsAskedForAndShownReadOnly)
{
    peer.setResponder([](const std::string& field) -> std::vector<std::string> {
        if (field == wire("GetInfo|Петя")) {
            return {wire("GetInfo|Петя|Пётр|Петров|RU|Тверь|ул. Мира|1|2|p@x.ru|http://x.ru|123|о себе")};
        }
        return FriendlyAnswers(field);
    });
    peer.send({wire("AddUser|Петя")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return rosterRow("Петя").isValid(); }));
    selectUser("Петя");
    action("Info2")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([] { return visibleWindow("kovrel::TInfoForm") != nullptr; }));
    QWidget* card = visibleWindow("kovrel::TInfoForm");
    EXPECT_EQ(card->findChild<QLineEdit*>(QStringLiteral("Edit1"))->text(), "Петя");
    EXPECT_EQ(card->findChild<QLineEdit*>(QStringLiteral("Edit5"))->text(), "Тверь");
    EXPECT_TRUE(card->findChild<QLineEdit*>(QStringLiteral("Edit5"))->isReadOnly());
    EXPECT_FALSE(card->findChild<QPushButton*>(QStringLiteral("Button1"))->isVisible());
    card->findChild<QPushButton*>(QStringLiteral("Button2"))->click();
    EXPECT_TRUE(QTest::qWaitFor([] { return visibleWindow("kovrel::TInfoForm") == nullptr; }));
}

} // namespace
} // namespace kovrel::test

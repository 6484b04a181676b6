// SPDX-License-Identifier: GPL-3.0-or-later
// The main window against the real server and a second user.

#include "main_form_fixture.h"

#include "artwork.h"
#include "chat_client.h"
#include "peer_client.h"
#include "real_server.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QInputDialog>
#include <QMenu>
#include <QTabBar>
#include <QTextBlock>
#include <QTimer>

namespace kovrel::test {
namespace {

class MainFormChatTest : public MainFormTest
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(openLoggedIn(server.port()));
        ASSERT_TRUE(peter.logIn("Петя"));
        ASSERT_TRUE(waitForCommon("К нам пришёл (пришла) Петя..."));
    }

    bool showsPicture(const QString& nick, int picture)
    {
        return QTest::qWaitFor([&] {
            const QIcon shown = rosterRow(nick).data(Qt::DecorationRole).value<QIcon>();
            return !shown.isNull() &&
                   shown.pixmap(16).toImage() == artwork::statePicture(picture).pixmap(16).toImage();
        });
    }

    void setIgnored(const QString& nick, bool ignored)
    {
        userList()->model()->setData(rosterRow(nick), ignored ? Qt::Checked : Qt::Unchecked,
                                     Qt::CheckStateRole);
    }

    bool isIgnored(const QString& nick) const
    {
        return rosterRow(nick).data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
    }

    RealServer server;
    PeerClient peter{server.port()};
};

TEST_F(MainFormChatTest, PublicTalkInBothDirections)
{
    peter.sayPublic("Привет, Вася!", "AllUser|204|255|-16|1|0|0|0|DejaVu Sans");
    ASSERT_TRUE(waitForCommon("Петя: Привет, Вася!"));
    const QTextBlock line = common()->document()->lastBlock();
    const QTextCharFormat format = line.begin().fragment().charFormat();
    EXPECT_TRUE(format.font().bold()) << "written in the style the sender announced";
    EXPECT_EQ(format.foreground().color(), QColor(255, 0, 0));

    typeAndSend("И тебе привет");
    EXPECT_EQ(peter.waitFor("AllUser|Вася|"), "AllUser|Вася|И тебе привет");
    EXPECT_TRUE(waitForCommon("Вася: И тебе привет")) << "our own line comes back from the server";
    EXPECT_EQ(msgEdit()->currentText(), "");
    EXPECT_EQ(msgEdit()->itemText(0), "И тебе привет") << "the history keeps what was sent";
}

TEST_F(MainFormChatTest, PrivateTalkOpensAPageAndImportanceIsMarked)
{
    peter.sayPrivate("Вася", "тс-с, секрет");
    ASSERT_TRUE(QTest::qWaitFor([&] { return privatePage("Петя") != nullptr; }));
    QTextEdit* page = privatePage("Петя");
    EXPECT_EQ(pages()->currentWidget(), page) << "a new private conversation is shown";
    ASSERT_TRUE(waitForText(page, "Петя: тс-с, секрет"));

    control<QCheckBox>(form.get(), "ImpotantBox")->setChecked(true);
    typeAndSend("понял");
    EXPECT_EQ(peter.waitFor("PrivatUser|Вася|Петя|"), "PrivatUser|Вася|Петя|!понял");
    EXPECT_TRUE(waitForText(page, "Вася: !понял"));
    EXPECT_TRUE(control<QCheckBox>(form.get(), "ImpotantBox")->isChecked())
        << "the mark stays for the next message";
}

TEST_F(MainFormChatTest, ImportantLineFromSomebodyElsePopsUp)
{
    peter.sayPublic("!Обед!");
    ASSERT_TRUE(waitForCommon("Петя: !Обед!"));
    const auto popups = [] {
        int count = 0;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            count += window->isVisible() &&
                     window->metaObject()->className() == QLatin1String("kovrel::TImpotatntMessageForm");
        }
        return count;
    };
    EXPECT_EQ(popups(), 1);
    typeAndSend("!сам такой");
    ASSERT_TRUE(waitForCommon("Вася: !сам такой"));
    EXPECT_EQ(popups(), 1) << "our own important line opens nothing";
}

TEST_F(MainFormChatTest, ArrivalsDeparturesAndStates)
{
    ASSERT_TRUE(rosterRow("Петя").isValid());
    EXPECT_TRUE(showsPicture("Вася", 2)) << "the own entry on line";
    EXPECT_TRUE(showsPicture("Петя", 0));
    peter.send({"StateUser|Петя|2"});
    EXPECT_TRUE(showsPicture("Петя", 6));

    selectUser("Вася");
    action("Busy1")->trigger();
    EXPECT_TRUE(showsPicture("Вася", 8)) << "the own state changes when the server echoes it";

    // A refresh rebuilds the roster from the server's list, states included; ignore marks are gone.
    setIgnored("Петя", true);
    action("Update1")->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return rosterRow("Петя").isValid() && !isIgnored("Петя"); }));
    EXPECT_TRUE(showsPicture("Петя", 6));
    EXPECT_TRUE(showsPicture("Вася", 8));

    // A private page hears of its partner's departure and stays open.
    selectUser("Петя");
    action("Private1")->trigger();
    ASSERT_NE(privatePage("Петя"), nullptr);
    peter.logOut();
    ASSERT_TRUE(waitForCommon("От нас ушёл (ушла) Петя..."));
    EXPECT_FALSE(rosterRow("Петя").isValid());
    EXPECT_TRUE(waitForText(privatePage("Петя"), "От нас ушёл (ушла) Петя..."));
}

TEST_F(MainFormChatTest, IgnoredUsersAreNotHeard)
{
    ASSERT_TRUE(rosterRow("Петя").isValid());
    setIgnored("Петя", true);
    peter.sayPublic("не слышно");
    peter.sayPrivate("Вася", "и так не слышно");
    // Once Петя has his own echo and our next line is back, his two lines have reached us too.
    ASSERT_EQ(peter.waitFor("PrivatUser|Петя|Вася|"), "PrivatUser|Петя|Вася|и так не слышно");
    typeAndSend("маркер");
    ASSERT_TRUE(waitForCommon("Вася: маркер"));
    setIgnored("Петя", false);
    peter.sayPublic("а теперь слышно");
    ASSERT_TRUE(waitForCommon("Петя: а теперь слышно"));
    EXPECT_FALSE(commonText().contains("не слышно"));
    EXPECT_EQ(privatePage("Петя"), nullptr);
}

TEST_F(MainFormChatTest, IncomingMarkUntilTheConversationIsSeen)
{
    // A double click is a click, then the second press that the system reports as a double click, then its
    // release: QTest's double click leaves the button down, and later tests would move the mouse with it
    // held.
    const QPoint row = userList()->visualRect(rosterRow("Петя")).center();
    QTest::mouseClick(userList()->viewport(), Qt::LeftButton, {}, row);
    QTest::mouseDClick(userList()->viewport(), Qt::LeftButton, {}, row);
    QTest::mouseRelease(userList()->viewport(), Qt::LeftButton, {}, row);
    ASSERT_NE(privatePage("Петя"), nullptr) << "a double click opens the conversation";
    peter.sayPublic("в общий");
    ASSERT_TRUE(waitForCommon("Петя: в общий"));
    EXPECT_TRUE(showsPicture("Вася", 3)) << "the common conversation got a line unseen";
    selectUser("Вася");
    action("Public1")->trigger();
    EXPECT_EQ(pages()->currentIndex(), 0);
    EXPECT_TRUE(showsPicture("Вася", 2));
}

TEST_F(MainFormChatTest, AddressQueryAndTopic)
{
    selectUser("Петя");
    action("GetIP1")->trigger();
    EXPECT_TRUE(waitForCommon("Петя's IP is 127.0.0.1"));

    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), "Set Topic");
        dialog->setTextValue(QStringLiteral("о погоде"));
        dialog->accept();
    });
    action("Topic1")->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->windowTitle() == "о погоде - Kovrel v 1.84"; }));
    peter.send({"Topic|   "});
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->windowTitle() == "Kovrel v 1.84"; }));
}

TEST_F(MainFormChatTest, LogOutAndClosingWhileOnline)
{
    button("ToolButton1")->click();
    EXPECT_EQ(loginCaption(), "вход");
    EXPECT_EQ(peter.waitFor("DelUser|"), "DelUser|Вася");
    EXPECT_TRUE(QTest::qWaitFor([&] { return commonText().endsWith("Конец связи..."); }));

    ASSERT_TRUE(logIn());
    form->close();
    EXPECT_EQ(peter.waitFor("DelUser|"), "DelUser|Вася") << "closing the window logs out first";
}

TEST_F(MainFormChatTest, TheServerEndingTheSessionLogsUsOut)
{
    server.terminate();
    EXPECT_TRUE(QTest::qWaitFor([&] { return loginCaption() == "вход"; }));
    EXPECT_TRUE(waitForCommon("От нас ушёл (ушла) Вася...")) << "the server's farewell echo is shown";
    EXPECT_TRUE(server.waitForExit());
}

// The server goes away and comes back: offline the user list shows that it is, a line typed on a private
// page stays in the input with a word on the page, and the automatic log-in brings back exactly the users
// the new server lists, and the state the user had chosen.
TEST_F(MainFormChatTest, ALostServerIsReachedAgainByAutomaticLogIn)
{
    const quint16 port = server.port();
    form->client().session().setAutoLoginUnit(std::chrono::milliseconds(100));
    action("StartonRun1")->trigger();
    selectUser("Вася");
    action("Busy1")->trigger();
    EXPECT_EQ(peter.waitFor("StateUser|"), "StateUser|Вася|3");
    peter.sayPrivate("Вася", "ты тут?");
    ASSERT_TRUE(QTest::qWaitFor([&] { return pages()->currentWidget() == privatePage("Петя"); }));

    server.kill();
    ASSERT_TRUE(QTest::qWaitFor([&] { return loginCaption() == "Connect"; }));
    EXPECT_FALSE(rosterRow("Петя").flags() & Qt::ItemIsEnabled) << "offline, the list is shown greyed";
    typeAndSend("да, тут");
    EXPECT_TRUE(waitForText(privatePage("Петя"), "Сообщение не отправлено: нет связи с сервером."));
    EXPECT_EQ(msgEdit()->currentText(), "да, тут") << "the text is kept for later";

    RealServer again(port);
    ASSERT_EQ(again.port(), port);
    ASSERT_TRUE(QTest::qWaitFor([&] { return loginCaption() == "выход"; }, 15000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return userList()->model()->rowCount() == 1; }))
        << "Петя left with the old server, and the new one lists only us";
    EXPECT_TRUE(rosterRow("Вася").flags() & Qt::ItemIsEnabled);
    EXPECT_TRUE(QTest::qWaitFor([&] { return rosterRow("Вася").data(RosterModel::StateRole) == Busy; }))
        << "the state chosen before the loss is announced again";
}

// A private message that arrives while the user types on the common page opens its page behind, marked,
// and Enter sends the line where it was begun.
TEST_F(MainFormChatTest, AReplyTypedOnTheCommonPageGoesToTheCommonConversation)
{
    typeText(msgEdit(), QStringLiteral("всем до завтра"));
    peter.sayPrivate("Вася", "а мне?");
    ASSERT_TRUE(QTest::qWaitFor([&] { return privatePage("Петя") != nullptr; }));
    EXPECT_TRUE(waitForText(privatePage("Петя"), "Петя: а мне?"));
    EXPECT_EQ(pages()->currentIndex(), 0) << "the page the user types on stays in front";
    EXPECT_NE(pages()->tabBar()->tabTextColor(1), pages()->tabBar()->tabTextColor(0)) << "its tab is marked";
    EXPECT_TRUE(rosterRow("Петя").data(RosterModel::PictureRole).toInt() % 2 == 1)
        << "so is its roster entry";

    QTest::keyClick(msgEdit(), Qt::Key_Return);
    EXPECT_EQ(peter.waitFor("AllUser|Вася|"), "AllUser|Вася|всем до завтра");
    pages()->setCurrentIndex(1);
    EXPECT_EQ(pages()->tabBar()->tabTextColor(1), pages()->tabBar()->tabTextColor(0)) << "seen, unmarked";
}

} // namespace
} // namespace kovrel::test

namespace kovrel::test {
namespace {

TEST_F(MainFormTest, ATakenNickLogsInUnderTheSpareNick)
{
    RealServer server;
    PeerClient first(server.port());
    ASSERT_TRUE(first.logIn("Вася"));
    ASSERT_NO_FATAL_FAILURE(openLoggedIn(server.port()));
    EXPECT_EQ(first.waitFor("AddUser|"), "AddUser|Василий");
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return rosterRow("Вася").isValid() && rosterRow("Василий").isValid(); }));
}

} // namespace
} // namespace kovrel::test

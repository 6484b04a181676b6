// SPDX-License-Identifier: GPL-3.0-or-later
// Sending one text privately to several users at once, against the real server.

#include "main_form_fixture.h"

#include "message_box_answerer.h"
#include "peer_client.h"
#include "real_server.h"
#include "roster_model.h"

#include <QMenu>
#include <QTreeWidget>

namespace kovrel::test {
namespace {

class MultiSendTest : public MainFormTest
{
protected:
    void SetUp() override
    {
        WriteMacros({{QStringLiteral("F2"), QStringLiteral("с уважением")}});
        ASSERT_NO_FATAL_FAILURE(openLoggedIn(server.port()));
        ASSERT_TRUE(peter.logIn("Петя"));
        ASSERT_TRUE(masha.logIn("Маша"));
        ASSERT_TRUE(kolya.logIn("Коля"));
        ASSERT_TRUE(waitForCommon("К нам пришёл (пришла) Коля..."));
    }

    QWidget* sendForm() const { return control<QWidget>(form.get(), "AdvancedSendForm"); }
    QTreeWidget* recipients() const { return control<QTreeWidget>(sendForm(), "UserList"); }
    QPlainTextEdit* text() const { return control<QPlainTextEdit>(sendForm(), "Memo1"); }
    QAction* selectAction(const char* name) const { return control<QAction>(sendForm(), name); }
    void clickSend() const { control<QToolButton>(sendForm(), "SpeedButton1")->click(); }

    QStringList listed() const
    {
        QStringList nicks;
        for (int row = 0; row < recipients()->topLevelItemCount(); ++row) {
            nicks << recipients()->topLevelItem(row)->text(0);
        }
        return nicks;
    }

    QStringList checked() const
    {
        QStringList nicks;
        for (int row = 0; row < recipients()->topLevelItemCount(); ++row) {
            const QTreeWidgetItem* item = recipients()->topLevelItem(row);
            if (item->checkState(0) == Qt::Checked) {
                nicks << item->text(0);
            }
        }
        return nicks;
    }

    void openMultiSend(const QString& input)
    {
        msgEdit()->setEditText(input);
        action("MultiSend1")->trigger();
        ASSERT_TRUE(sendForm()->isVisible());
    }

    RealServer server;
    PeerClient peter{server.port()};
    PeerClient masha{server.port()};
    PeerClient kolya{server.port()};
};

TEST_F(MultiSendTest, SendsToEachChosenUserAndShowsTheFormerPageAgain)
{
    openMultiSend(QStringLiteral("Собрание в 15:00"));
    EXPECT_EQ(text()->toPlainText(), "Собрание в 15:00") << "the main window's input is taken";
    EXPECT_EQ(listed(), (QStringList{"Петя", "Маша", "Коля"})) << "everyone but ourselves";
    EXPECT_TRUE(checked().isEmpty()) << "on the common page nobody is chosen in advance";

    selectAction("SelectAll1")->trigger();
    typeText(text(), QStringLiteral(","));
    QTest::keyClick(text(), Qt::Key_F2);
    EXPECT_EQ(text()->toPlainText(), "Собрание в 15:00, с уважением") << "a macro adds its text";
    clickSend();

    for (PeerClient* peer : {&peter, &masha, &kolya}) {
        EXPECT_EQ(peer->waitFor("PrivatUser|Вася|" + peer->nick() + "|"),
                  "PrivatUser|Вася|" + peer->nick() + "|Собрание в 15:00, с уважением");
    }
    for (const char* nick : {"Петя", "Маша", "Коля"}) {
        ASSERT_NE(privatePage(QString::fromUtf8(nick)), nullptr) << nick;
        EXPECT_TRUE(waitForText(privatePage(QString::fromUtf8(nick)), "Вася: Собрание в 15:00, с уважением"));
    }
    EXPECT_EQ(pages()->currentIndex(), 0) << "the common page is shown again";
    EXPECT_TRUE(text()->toPlainText().isEmpty());
    EXPECT_EQ(checked(), (QStringList{"Петя", "Маша", "Коля"})) << "the choice stays for the next text";
    EXPECT_EQ(msgEdit()->itemText(0), "Собрание в 15:00, с уважением") << "each send enters the history";
}

TEST_F(MultiSendTest, TheShownPartnerIsChosenAndIgnoredUsersAreNotOffered)
{
    selectUser("Маша");
    action("Private1")->trigger();
    userList()->model()->setData(rosterRow("Коля"), Qt::Checked, Qt::CheckStateRole);
    openMultiSend(QString());
    EXPECT_EQ(listed(), (QStringList{"Петя", "Маша"}));
    EXPECT_EQ(checked(), QStringList{"Маша"});
}

TEST_F(MultiSendTest, AForbiddenCharacterIsRefusedOnceAndNothingIsSent)
{
    MessageBoxAnswerer boxes;
    openMultiSend(QStringLiteral("a|b"));
    selectAction("SelectAll1")->trigger();
    clickSend();
    EXPECT_EQ(boxes.texts, QStringList{"Kovrel: Строка содержит недопустимый символ: |..."});
    EXPECT_EQ(pages()->count(), 1) << "no conversation was opened";
    EXPECT_EQ(text()->toPlainText(), "a|b") << "the text stays to be mended";
}

TEST_F(MultiSendTest, TheListIsASnapshotThatKeepsTheChoice)
{
    openMultiSend(QStringLiteral("привет"));
    recipients()->topLevelItem(1)->setCheckState(0, Qt::Checked);
    PeerClient late(server.port());
    ASSERT_TRUE(late.logIn("Оля"));
    ASSERT_TRUE(waitForCommon("К нам пришёл (пришла) Оля..."));
    peter.send({"StateUser|Петя|2"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return rosterRow("Петя").data(RosterModel::StateRole).toInt() == 2; }));
    EXPECT_EQ(listed(), (QStringList{"Петя", "Маша", "Коля"})) << "a later arrival is not offered";
    EXPECT_EQ(checked(), QStringList{"Маша"}) << "a state change keeps the choice";
    userList()->model()->setData(rosterRow("Маша"), Qt::Checked, Qt::CheckStateRole);
    EXPECT_EQ(listed(), (QStringList{"Петя", "Коля"})) << "a user ignored meanwhile is dropped";
}

} // namespace
} // namespace kovrel::test

#include "chat_session.h"

#include "cp1251.h"
#include "dispatcher.h"
#include "packet.h"
#include "scripted_peer.h"
#include "settings_layout.h"
#include "settings_sandbox.h"
#include "wire_text.h"

#include <QTest>

#include <gtest/gtest.h>

namespace kovrel {
namespace {

using namespace std::chrono_literals;

class FakeHost : public SessionHost
{
public:
    bool acceptDialog = true;
    int dialogRuns = 0;
    QStringList lines;
    QStringList publicMessages;
    QString caption = QStringLiteral("Вход");

    bool runConnectDialog() override
    {
        ++dialogRuns;
        return acceptDialog;
    }
    void writeEventLine(const QString& text) override { lines << text; }
    void writeSystemLine(const QString& line) override { lines << line; }
    void sendAsPublicMessage(const QString& text) override { publicMessages << text; }
    void clearRoster() override { lines << QStringLiteral("<roster cleared>"); }
    void setLoginButtonCaption(const QString& text) override { caption = text; }
    void setWaitCursor(bool) override {}
};

// Hands the session the answers it waits for, as the main window's receive path does.
class AnswerRouter : public ChatEvents
{
public:
    explicit AnswerRouter(ChatSession& session) : m_session(session)
    {
        QObject::connect(&session.connection(), &ChatConnection::fieldsReceived, [this] {
            while (std::optional<std::string> field = m_session.connection().takeField()) {
                DispatchMessage(*field, *this);
            }
        });
    }

    void onExistUser(std::string_view answer) override { m_session.onExistAnswer(fromWire(answer)); }
    void onGetIPUser(std::string_view address) override { m_session.onAddressAnswer(fromWire(address)); }
    void onDelUser(std::string_view) override { m_session.onLeaveSeen(); }
    void onAddUser(std::string_view) override {}
    void onGetUser(std::string_view) override {}
    void onTopic(std::string_view) override {}
    void onGetInfo(std::string_view) override {}
    void onTextStyle(const TextStyleValues&) override {}
    void onClearTextStyle() override {}
    void onPublicMessage(std::string_view, std::string_view) override {}
    void onPrivateMessage(std::string_view, std::string_view, std::string_view) override {}
    void onDisconnect() override {}
    void onGetNick() override {}
    void onStateUser(std::string_view, std::int32_t) override {}
    void onTestConnection(std::string_view) override {}
    void onUnknown(std::string_view, std::string_view) override {}

private:
    ChatSession& m_session;
};

class ChatSessionTest : public testing::Test
{
protected:
    ChatSessionTest()
    {
        WriteHost(QString());
        WriteAddress(QStringLiteral("127.0.0.1"));
        WritePort(peer.port());
        WriteNick(QStringLiteral("Вася"));
        WriteAnotherNick(QStringLiteral("Василий"));
        WriteFirstTime(false);
        session.setAnswerWaits(3s, 300ms);
    }

    bool logIn()
    {
        session.ToggleLogin();
        return session.isConnected();
    }

    test::SettingsSandbox sandbox;
    test::ScriptedPeer peer;
    FakeHost host;
    ChatSession session{host};
    AnswerRouter router{session};
};

TEST_F(ChatSessionTest, LogInPutsExactlyTheExpectedBytesOnTheWire)
{
    WriteInfoField(InfoField::City, QStringLiteral("Тверь"));
    ASSERT_TRUE(logIn());
    EXPECT_EQ(host.caption, "выход");
    const std::string card = "SetInfo|Вася|N/A|N/A|N/A|Тверь|N/A|N/A|N/A|N/A|http://|N/A|N/A";
    const auto wire = [](const char* utf8) { return cp1251::fromUtf8(utf8); };
    ASSERT_EQ(peer.waitForField("SetInfo|"), wire(card.c_str()));
    EXPECT_EQ(peer.bytes(), BuildPacket({"ExistUser|127.0.0.1", wire("ExistUser|Вася"), wire("GetUser|Вася"),
                                         wire("AddUser|Вася"), wire(card.c_str())}));
    EXPECT_EQ(host.lines,
              (QStringList{"Соединяемся...", "Соединился... Local: IP = 127.0.0.1; Remote: IP = 127.0.0.1",
                           "<roster cleared>"}));
}

TEST_F(ChatSessionTest, GreetsAfterTheAnnouncementWhenAGreetingIsStored)
{
    WriteMsgOnConnect(QStringLiteral("  Всем привет  "));
    ASSERT_TRUE(logIn());
    EXPECT_EQ(host.publicMessages, QStringList{"  Всем привет  "});
}

TEST_F(ChatSessionTest, TakesTheSpareNickWhenTheNickIsTaken)
{
    peer.setResponder([](const std::string& field) -> std::vector<std::string> {
        if (field == cp1251::fromUtf8("ExistUser|Вася")) {
            return {"ExistUser|1"};
        }
        return test::FriendlyAnswers(field);
    });
    ASSERT_TRUE(logIn());
    EXPECT_EQ(session.nick(), "Василий");
    EXPECT_EQ(peer.waitForField("AddUser|"), cp1251::fromUtf8("AddUser|Василий"));
    // The next log-in starts again with the stored nick.
    session.ToggleLogin();
    session.LoadConnectionSettings();
    EXPECT_EQ(session.nick(), "Вася");
}

TEST_F(ChatSessionTest, RefusesWhenBothNicksAreTaken)
{
    peer.setResponder([](const std::string& field) -> std::vector<std::string> {
        return field.starts_with("ExistUser|127.") ? std::vector<std::string>{"ExistUser|-1"}
                                                   : std::vector<std::string>{"ExistUser|0"};
    });
    EXPECT_FALSE(logIn());
    EXPECT_TRUE(host.lines.contains("Пользователь с таким ником уже есть..."));
    EXPECT_EQ(host.lines.back(), "Конец связи...");
    EXPECT_EQ(host.caption, "Connect");
    EXPECT_FALSE(session.isBusy());
    EXPECT_EQ(peer.waitForField("AddUser|", 300), "");
}

TEST_F(ChatSessionTest, RefusesABlacklistedAddress)
{
    peer.setResponder([](const std::string& field) -> std::vector<std::string> {
        return field.starts_with("ExistUser|127.") ? std::vector<std::string>{"ExistUser|1"}
                                                   : test::FriendlyAnswers(field);
    });
    EXPECT_FALSE(logIn());
    EXPECT_TRUE(host.lines.contains("Пользователь в чёрном списке..."));
}

TEST_F(ChatSessionTest, ShowsTheConnectDialogUntilTheServerIsSetUp)
{
    WriteFirstTime(true);
    host.acceptDialog = false;
    EXPECT_FALSE(logIn());
    EXPECT_EQ(host.dialogRuns, 1);
    EXPECT_TRUE(host.lines.isEmpty()) << "a cancelled dialog leaves the client offline and quiet";
    EXPECT_FALSE(session.isBusy());
}

TEST_F(ChatSessionTest, LogOutSaysGoodbyeAndWaitsForTheServer)
{
    WriteMsgOnDisconnect(QStringLiteral("Пока"));
    ASSERT_TRUE(logIn());
    session.ToggleLogin();
    EXPECT_FALSE(session.isConnected());
    EXPECT_EQ(host.publicMessages, QStringList{"Пока"});
    EXPECT_EQ(peer.fields().back(), cp1251::fromUtf8("DelUser|Вася"));
    EXPECT_EQ(host.caption, "вход");
    EXPECT_EQ(host.lines.back(), "Конец связи...");
}

TEST_F(ChatSessionTest, ReportsARefusedConnection)
{
    WritePort(1);
    EXPECT_FALSE(logIn());
    EXPECT_EQ(host.lines.mid(host.lines.size() - 2),
              (QStringList{"Ошибка WinSocket #WSAECONNREFUSED, тип: Connect", "Конец связи..."}));
    EXPECT_EQ(host.caption, "Connect");
}

TEST_F(ChatSessionTest, AServerThatGoesAwayEndsTheConnection)
{
    ASSERT_TRUE(logIn());
    peer.drop();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !session.isConnected(); }));
    EXPECT_EQ(host.lines.back(), "Конец связи...");
    EXPECT_EQ(host.caption, "Connect");
}

TEST_F(ChatSessionTest, KeepAliveProbesTheServer)
{
    session.setKeepAliveInterval(20ms);
    ASSERT_TRUE(logIn());
    EXPECT_EQ(peer.waitForField("TestConnection"), "TestConnection|");
}

TEST_F(ChatSessionTest, AddressQueryGivesUpWhenNoAnswerComes)
{
    ASSERT_TRUE(logIn());
    peer.setResponder([](const std::string& field) -> std::vector<std::string> {
        return field == "GetIPUser|x" ? std::vector<std::string>{"GetIPUser|10.1.2.3"}
                                      : std::vector<std::string>{};
    });
    EXPECT_EQ(session.queryAddress(QStringLiteral("x")), QStringLiteral("10.1.2.3"));
    EXPECT_EQ(session.queryAddress(QStringLiteral("y")), std::nullopt);
}

TEST_F(ChatSessionTest, AutomaticLogInRetriesUntilTheServerAnswers)
{
    WritePort(1);
    session.setAutoLoginInterval(50ms);
    session.setAutoLogin(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return host.lines.count("Конец связи...") >= 2; }));
    WritePort(peer.port());
    EXPECT_TRUE(QTest::qWaitFor([&] { return session.isConnected() && host.caption == "выход"; }));
}

} // namespace
} // namespace kovrel

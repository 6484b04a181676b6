// SPDX-License-Identifier: GPL-3.0-or-later
// The client core against a scripted server: log-in and log-out, the answers it waits for, and the
// received fields it turns into lines, roster changes and conversations.

#include "chat_client.h"

#include "cp1251.h"
#include "fake_view.h"
#include "packet.h"
#include "scripted_peer.h"
#include "settings_layout.h"
#include "settings_sandbox.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

namespace kovrel {
namespace {

using namespace std::chrono_literals;

std::string wire(const char* utf8)
{
    return cp1251::fromUtf8(utf8);
}

class ChatClientTest : public testing::Test
{
protected:
    ChatClientTest()
    {
        WriteHost(QString());
        WriteAddress(QStringLiteral("127.0.0.1"));
        WritePort(peer.port());
        WriteNick(QStringLiteral("Вася"));
        WriteAnotherNick(QStringLiteral("Василий"));
        WriteFirstTime(false);
        view.attach(client);
        session().setAnswerWaits(3s, 300ms);
    }

    ChatSession& session() { return client.session(); }

    bool logIn()
    {
        client.ToggleLogin();
        return client.isConnected();
    }

    // Logged in, with the login's own fields read and gone.
    void logInQuietly()
    {
        ASSERT_TRUE(logIn());
        ASSERT_FALSE(peer.waitForField("SetInfo|").empty());
    }

    test::SettingsSandbox sandbox;
    test::ScriptedPeer peer;
    test::FakeView view;
    ChatClient client{view};
};

TEST_F(ChatClientTest, LogInPutsExactlyTheExpectedBytesOnTheWire)
{
    WriteInfoField(InfoField::City, QStringLiteral("Тверь"));
    ASSERT_TRUE(logIn());
    EXPECT_EQ(view.caption(), "выход");
    EXPECT_EQ(view.running, (std::vector<bool>{true, false})) << "the controls are off while logging in";
    const std::string card = "SetInfo|Вася|N/A|N/A|N/A|Тверь|N/A|N/A|N/A|N/A|http://|N/A|N/A";
    ASSERT_EQ(peer.waitForField("SetInfo|"), wire(card.c_str()));
    EXPECT_EQ(peer.bytes(), BuildPacket({"ExistUser|127.0.0.1", wire("ExistUser|Вася"), wire("GetUser|Вася"),
                                         wire("AddUser|Вася"), wire(card.c_str())}));
    EXPECT_EQ(view.texts(),
              (QStringList{"Соединяемся...", "Соединился... Local: IP = 127.0.0.1; Remote: IP = 127.0.0.1"}));
    // Each field goes out when it is written, not after the previous one is acknowledged.
    const auto* socket = session().connection().findChild<QTcpSocket*>();
    ASSERT_NE(socket, nullptr);
    int noDelay = 0;
    socklen_t size = sizeof noDelay;
    ::getsockopt(static_cast<int>(socket->socketDescriptor()), IPPROTO_TCP, TCP_NODELAY, &noDelay, &size);
    EXPECT_EQ(noDelay, 1);
}

TEST_F(ChatClientTest, GreetsAfterTheAnnouncementWhenAGreetingIsStored)
{
    WriteMsgOnConnect(QStringLiteral("  Всем привет  "));
    ASSERT_TRUE(logIn());
    EXPECT_EQ(peer.waitForField("AllUser|"), wire("AllUser|Вася|  Всем привет  "));
    // Sent as the user's own lines are: in the own style, and marked while the importance box is ticked.
    client.setMarkImportant(true);
    client.ToggleLogin();
    ASSERT_TRUE(logIn());
    EXPECT_EQ(peer.waitForField("AllUser|"), wire("AllUser|Вася|!  Всем привет  "));
}

TEST_F(ChatClientTest, TakesTheSpareNickWhenTheNickIsTaken)
{
    peer.setResponder([](const std::string& field) -> std::vector<std::string> {
        if (field == wire("ExistUser|Вася")) {
            return {"ExistUser|1"};
        }
        return test::FriendlyAnswers(field);
    });
    ASSERT_TRUE(logIn());
    EXPECT_EQ(client.nick(), "Василий");
    EXPECT_EQ(client.roster().ownNick(), "Василий") << "the roster knows which entry is ours";
    EXPECT_EQ(peer.waitForField("AddUser|"), wire("AddUser|Василий"));
    client.ToggleLogin();
    session().LoadConnectionSettings();
    EXPECT_EQ(client.nick(), "Вася") << "the next log-in starts again with the stored nick";
}

TEST_F(ChatClientTest, RefusesWhenBothNicksAreTakenOrTheAddressIsBlacklisted)
{
    peer.setResponder([](const std::string& field) -> std::vector<std::string> {
        return {field.starts_with("ExistUser|127.") ? "ExistUser|-1" : "ExistUser|0"};
    });
    EXPECT_FALSE(logIn());
    EXPECT_TRUE(view.texts().contains("Пользователь с таким ником уже есть..."));
    EXPECT_EQ(view.texts().back(), "Конец связи...");
    EXPECT_EQ(view.caption(), "Connect");
    EXPECT_FALSE(session().isLoggingIn());
    EXPECT_EQ(peer.waitForField("AddUser|", 300), "");

    peer.setResponder([](const std::string& field) -> std::vector<std::string> {
        return field.starts_with("ExistUser|127.") ? std::vector<std::string>{"ExistUser|1"}
                                                   : test::FriendlyAnswers(field);
    });
    EXPECT_FALSE(logIn());
    EXPECT_TRUE(view.texts().contains("Пользователь в чёрном списке..."));
}

TEST_F(ChatClientTest, AServerThatClosesDuringTheAdmissionIsNoRefusal)
{
    peer.setResponder([&](const std::string& field) -> std::vector<std::string> {
        if (field.starts_with("ExistUser|127.")) {
            peer.drop();
        }
        return {};
    });
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_FALSE(logIn());
    EXPECT_LT(elapsed.elapsed(), 3000) << "the admission does not wait for a connection that is gone";
    EXPECT_FALSE(view.texts().contains("Пользователь в чёрном списке..."));
    EXPECT_EQ(view.texts().back(), "Конец связи...");
}

TEST_F(ChatClientTest, AsksForAServerUntilOneIsSetUp)
{
    WriteFirstTime(true);
    EXPECT_FALSE(logIn());
    EXPECT_EQ(view.setupRequests, 1);
    EXPECT_TRUE(view.lines.empty()) << "without a server the client stays offline and quiet";
    EXPECT_FALSE(session().isLoggingIn());
    EXPECT_EQ(view.running, (std::vector<bool>{true, false})) << "the attempt has ended before the setup";
}

TEST_F(ChatClientTest, LogOutSaysGoodbyeAndWaitsForTheServer)
{
    WriteMsgOnDisconnect(QStringLiteral("Пока"));
    ASSERT_TRUE(logIn());
    client.ToggleLogin();
    EXPECT_FALSE(client.isConnected());
    const std::vector<std::string>& fields = peer.fields();
    ASSERT_GE(fields.size(), 3u);
    EXPECT_EQ(fields[fields.size() - 2], wire("AllUser|Вася|Пока"));
    EXPECT_EQ(fields.back(), wire("DelUser|Вася"));
    EXPECT_EQ(view.captions.mid(view.captions.size() - 2), (QStringList{"Connect", "вход"}));
    EXPECT_EQ(view.texts().back(), "Конец связи...");
}

TEST_F(ChatClientTest, ConnectionFailuresAreReportedAndEndTheConnection)
{
    WritePort(1);
    EXPECT_FALSE(logIn());
    EXPECT_EQ(view.texts().mid(view.texts().size() - 2),
              (QStringList{"Ошибка WinSocket #WSAECONNREFUSED, тип: Connect", "Конец связи..."}));
    EXPECT_EQ(view.caption(), "Connect");

    WritePort(peer.port());
    ASSERT_TRUE(logIn());
    peer.drop();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !client.isConnected(); }));
    EXPECT_EQ(view.texts().back(), "Конец связи...");
    EXPECT_EQ(view.caption(), "Connect");
}

TEST_F(ChatClientTest, KeepAliveProbesTheServer)
{
    session().setKeepAliveInterval(20ms);
    ASSERT_TRUE(logIn());
    EXPECT_EQ(peer.waitForField("TestConnection"), "TestConnection|");
}

TEST_F(ChatClientTest, AutomaticLogInBacksOffUntilTheServerAnswers)
{
    WritePort(1);
    const auto unit = 5ms;
    session().setAutoLoginUnit(unit);
    std::vector<std::chrono::milliseconds> delays;
    // Read once the attempt's tick is over and the next one is set.
    QObject::connect(
        &session(), &ChatSession::settled, &session(), [&] { delays.push_back(session().autoLoginDelay()); },
        Qt::QueuedConnection);
    session().setAutoLogin(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return delays.size() >= 8; }));
    EXPECT_EQ(
        std::vector(delays.begin(), delays.begin() + 8),
        (std::vector{unit * 2, unit * 4, unit * 8, unit * 16, unit * 30, unit * 60, unit * 60, unit * 60}));
    WritePort(peer.port());
    EXPECT_TRUE(QTest::qWaitFor([&] { return client.isConnected() && view.caption() == "выход"; }));
    session().setAutoLogin(false);
    EXPECT_EQ(view.running.back(), false);
    EXPECT_EQ(std::count(view.running.begin(), view.running.end(), true),
              std::count(view.running.begin(), view.running.end(), false))
        << "each attempt switches the controls off and on again, as the log-in button does";
}

TEST_F(ChatClientTest, SwitchingAutomaticLogInOffDuringAnAttemptEndsTheRetries)
{
    session().setAutoLoginUnit(5ms);
    peer.setResponder([&](const std::string& field) -> std::vector<std::string> {
        if (field.starts_with("ExistUser|127.")) {
            session().setAutoLogin(false);
            return {"ExistUser|1"}; // refused: the address is blacklisted
        }
        return test::FriendlyAnswers(field);
    });
    session().setAutoLogin(true);
    ASSERT_TRUE(peer.waitForClients(1));
    EXPECT_FALSE(peer.waitForClients(2, 500)) << "no attempt after the user switched automatic log-in off";
}

// A connection that ends while we are online, neither by us nor by the server's word, is replaced at once,
// not at the next minute's try; the network coming back does the same for a client that is offline.
TEST_F(ChatClientTest, AutomaticLogInReplacesALostConnectionAtOnceInTheChosenState)
{
    session().setAutoLogin(true);
    ASSERT_TRUE(peer.waitForClients(1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.caption() == "выход"; }));
    EXPECT_EQ(session().autoLoginDelay(), 60s) << "online, the retries have backed off to their longest";
    client.changeState(Busy);
    ASSERT_EQ(peer.waitForField("StateUser|"), wire("StateUser|Вася|3"));
    peer.drop();
    EXPECT_TRUE(peer.waitForClients(2)) << "logged in again after a second, not after the longest step";
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.caption() == "выход"; }));
    EXPECT_EQ(peer.waitForField("StateUser|"), wire("StateUser|Вася|3")) << "the chosen state is kept";

    // Logging out ourselves is no loss.
    client.ToggleLogin();
    ASSERT_FALSE(client.isConnected());
    QTest::qWait(1500);
    EXPECT_FALSE(client.isConnected());

    session().networkReturned();
    EXPECT_TRUE(peer.waitForClients(3)) << "the network came back";
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.caption() == "выход"; }));

    // A server that stops or restarts asks its users to leave: they log out and come back once it is up.
    peer.send({"Disconnect|"});
    EXPECT_EQ(peer.waitForField("DelUser|"), wire("DelUser|Вася"));
    EXPECT_TRUE(peer.waitForClients(4)) << "logged in again after the server's request to leave";
}

TEST_F(ChatClientTest, TheNetworkComingBackProbesALiveConnection)
{
    logInQuietly();
    session().networkReturned();
    EXPECT_EQ(peer.waitForField("TestConnection"), "TestConnection|");
    EXPECT_TRUE(client.isConnected());
}

TEST_F(ChatClientTest, WithoutAutomaticLogInTheNetworkComingBackChangesNothing)
{
    session().networkReturned();
    QTest::qWait(1500);
    EXPECT_FALSE(client.isConnected());
    EXPECT_TRUE(view.texts().isEmpty());
}

TEST_F(ChatClientTest, AddressQueryWritesTheAnswerOrGivesUp)
{
    logInQuietly();
    peer.setResponder([](const std::string& field) -> std::vector<std::string> {
        if (field == "GetIPUser|x") {
            return {"AllUser|x|before the answer", "GetIPUser|10.1.2.3"};
        }
        return {};
    });
    client.queryAddress(QStringLiteral("x"));
    client.queryAddress(QStringLiteral("y"));
    EXPECT_EQ(view.texts().mid(view.texts().size() - 3),
              (QStringList{"x: before the answer", "x's IP is 10.1.2.3", "y: сервер не сообщил IP адрес..."}))
        << "the line that came before the answer is written first";
}

TEST_F(ChatClientTest, AUserWhoLeavesWhileHisAddressIsAskedForIsStillNamedInTheAnswer)
{
    logInQuietly();
    peer.send({wire("AddUser|Петя")});
    ASSERT_TRUE(view.waitForLine("К нам пришёл (пришла) Петя..."));
    peer.setResponder([](const std::string& field) -> std::vector<std::string> {
        if (field == wire("GetIPUser|Петя")) {
            return {wire("DelUser|Петя"), "GetIPUser|10.1.2.3"};
        }
        return {};
    });
    const std::optional<int> row = client.roster().find(QStringLiteral("Петя"));
    ASSERT_TRUE(row);
    // As the user list asks: with the roster's own nick, gone from the roster before the answer comes.
    client.queryAddress(client.roster().at(*row).nick);
    EXPECT_FALSE(client.roster().find(QStringLiteral("Петя")));
    EXPECT_EQ(view.texts().last(), "Петя's IP is 10.1.2.3");
}

TEST_F(ChatClientTest, ADisconnectDuringChatLogsOutAndHandlesWhatCameWithTheEcho)
{
    session().setAnswerWaits(60s, 300ms); // a wait that missed the echo would outlast the test
    logInQuietly();
    QElapsedTimer sinceEcho;
    peer.setResponder([&](const std::string& field) -> std::vector<std::string> {
        if (field == wire("DelUser|Вася")) {
            sinceEcho.start();
            return {wire("AllUser|Петя|последнее слово"), wire("DelUser|Вася"), wire("DelUser|Петя")};
        }
        return {};
    });
    peer.send({wire("AllUser|Петя|до свидания"), "Disconnect|"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !client.isConnected(); }));
    RecordProperty("milliseconds from the echo to the closed connection",
                   static_cast<int>(sinceEcho.elapsed()));
    EXPECT_EQ(view.caption(), "вход");
    const QStringList expected{"Петя: до свидания", "Петя: последнее слово", "От нас ушёл (ушла) Вася...",
                               "От нас ушёл (ушла) Петя...", "Конец связи..."};
    EXPECT_EQ(view.texts().mid(view.texts().size() - expected.size()), expected);
    EXPECT_EQ(std::count(peer.fields().begin(), peer.fields().end(), wire("DelUser|Вася")), 1);
}

TEST_F(ChatClientTest, ALogOutUnderWayIsNotStartedAgain)
{
    session().setAnswerWaits(400ms, 300ms);
    logInQuietly();
    // The server keeps asking us to leave and never answers our "DelUser".
    peer.setResponder([](const std::string& field) -> std::vector<std::string> {
        return field.starts_with("DelUser|") ? std::vector<std::string>{"Disconnect|"}
                                             : std::vector<std::string>{};
    });
    peer.send({"Disconnect|"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !client.isConnected(); }));
    EXPECT_EQ(std::count(peer.fields().begin(), peer.fields().end(), wire("DelUser|Вася")), 1);
    EXPECT_EQ(view.captions.count("вход"), 1);
}

TEST_F(ChatClientTest, FieldsKeepComingWhileAHandlerWaits)
{
    logInQuietly();
    QStringList seenWhileOpen;
    // An important line opens a window that runs its own event loop until the next line arrives.
    view.onImportant = [&](const QString&) {
        const std::size_t before = view.lines.size();
        static_cast<void>(QTest::qWaitFor([&] { return view.lines.size() > before; }, 5000));
        seenWhileOpen = view.texts();
    };
    peer.send({wire("AllUser|Петя|!важно")});
    QTimer::singleShot(100, &peer, [&] { peer.send({wire("AllUser|Петя|следом")}); });
    ASSERT_TRUE(view.waitForLine("Петя: следом"));
    EXPECT_TRUE(seenWhileOpen.contains("Петя: следом")) << "reception went on behind the open window";
    EXPECT_EQ(view.texts().filter("Петя:"), (QStringList{"Петя: !важно", "Петя: следом"}));
}

TEST_F(ChatClientTest, AnswersTheServersProbesItself)
{
    peer.setResponder([](const std::string& field) -> std::vector<std::string> {
        if (field == wire("ExistUser|Вася")) {
            return {"ExistUser|1"};
        }
        return test::FriendlyAnswers(field);
    });
    logInQuietly();
    peer.send({"GetNick|", "TestConnection|7|x"});
    EXPECT_EQ(peer.waitForField("GetNick|"), wire("GetNick|Василий")) << "answered with the nick in use";
    EXPECT_EQ(peer.waitForField("TestConnection|"), "TestConnection|7|x") << "sent back byte for byte";
}

TEST_F(ChatClientTest, AMalformedFieldIsReportedAndItsNeighboursStillArrive)
{
    logInQuietly();
    peer.send({wire("AllUser|Петя|первое"), wire("StateUser|Петя|много"), wire("AllUser|Петя|второе"),
               "SetInfo|x", "no separator"});
    ASSERT_TRUE(view.waitForLine("Неизвестный пакет... Комманда: , Сообщение: no separator..."));
    EXPECT_EQ(
        view.texts().mid(view.texts().size() - 5),
        (QStringList{"Петя: первое", "Ошибка: 'много' is not a valid integer value,Класс: TClientSocket",
                     "Петя: второе", "Неизвестный пакет... Комманда: SetInfo, Сообщение: x...",
                     "Неизвестный пакет... Комманда: , Сообщение: no separator..."}));
}

TEST_F(ChatClientTest, LinesCarryTheReceivedStyleAndThePlacement)
{
    logInQuietly();
    WriteConfigFlag(ConfigFlag::FromUpToDown, false);
    peer.send({wire("TextStyle|PrivatUser|Петя|Вася|204|255|-2000|1|2|0|0|Arial"), wire("AllUser|Петя|жирно"),
               "ClearTextStyle|", wire("AllUser|Петя|обычно")});
    ASSERT_TRUE(view.waitForLine("Петя: обычно"));
    const ChatLine& styled = view.lines[view.lines.size() - 2];
    ASSERT_TRUE(styled.style);
    EXPECT_EQ(styled.style->name, "Arial");
    EXPECT_EQ(styled.style->color, 255);
    EXPECT_EQ(styled.style->height, -kMaxTextPixels) << "a huge height is clamped";
    EXPECT_TRUE(styled.style->bold && !styled.style->italic) << "only the number 1 switches a flag on";
    EXPECT_FALSE(styled.atBottom);
    EXPECT_FALSE(view.lines.back().style);
}

TEST_F(ChatClientTest, PrivateMessagesOpenTheirConversationAndIgnoredUsersAreNotHeard)
{
    logInQuietly();
    peer.send({wire("AddUser|Петя"), wire("AddUser|Коля"), wire("PrivatUser|Петя|Вася|тс-с"),
               wire("PrivatUser|Вася|Маша|и тебе"), wire("PrivatUser|петя|Вася|другой")});
    ASSERT_TRUE(view.waitForLine("петя: другой", QStringLiteral("петя")));
    EXPECT_EQ(view.opened, (QStringList{"Петя", "Маша", "петя"})) << "nicks are told apart by letter case";
    EXPECT_EQ(view.texts(QStringLiteral("Петя")), QStringList{"Петя: тс-с"});
    EXPECT_EQ(view.texts(QStringLiteral("Маша")), QStringList{"Вася: и тебе"}) << "our own copy";

    client.roster().setIgnored(*client.roster().find(QStringLiteral("Коля")), true);
    peer.send({wire("AllUser|Коля|не слышно"), wire("PrivatUser|Коля|Вася|тоже"), wire("DelUser|Коля"),
               wire("AllUser|Петя|маркер")});
    ASSERT_TRUE(view.waitForLine("Петя: маркер"));
    EXPECT_TRUE(view.texts().filter("Коля:").isEmpty());
    EXPECT_FALSE(view.opened.contains("Коля"));
    EXPECT_TRUE(view.texts().contains("От нас ушёл (ушла) Коля...")) << "departures are written still";
}

// A multi-recipient send waits for the server's copy of each message before the next one.
TEST_F(ChatClientTest, WaitsForTheServersCopyOfOurOwnPrivateMessage)
{
    logInQuietly();
    EXPECT_EQ(client.checkSend(QStringLiteral("a|b")), SendResult::ForbiddenCharacter);
    EXPECT_TRUE(peer.fields().back().starts_with("SetInfo|")) << "a check sends nothing";
    const int seen = client.ownCopiesTo(QStringLiteral("Маша"));
    ASSERT_EQ(client.send(QStringLiteral("Маша"), QStringLiteral("привет")), SendResult::Sent);
    ASSERT_EQ(peer.waitForField("PrivatUser|"), wire("PrivatUser|Вася|Маша|привет"));
    QTimer::singleShot(0, [&] {
        peer.send({wire("PrivatUser|Маша|Вася|не то"), wire("PrivatUser|Вася|Петя|и не это"),
                   wire("PrivatUser|Вася|Маша|привет")});
    });
    EXPECT_TRUE(client.waitForOwnCopy(QStringLiteral("Маша"), seen, 60s));
    EXPECT_EQ(view.texts(QStringLiteral("Маша")).last(), "Вася: привет")
        << "only our own copy ends the wait, and it is written by then";

    // A connection that closes brings no copy: the wait ends with it, not at its deadline.
    QTimer::singleShot(0, [&] { peer.drop(); });
    QElapsedTimer waited;
    waited.start();
    EXPECT_FALSE(client.waitForOwnCopy(QStringLiteral("Маша"), seen + 1, 60s));
    EXPECT_LT(waited.elapsed(), 30000);
}

TEST_F(ChatClientTest, TheRosterFollowsArrivalsDeparturesAndStates)
{
    logInQuietly();
    peer.send({wire("GetUser|Вася"), wire("AddUser|Петя"), wire("StateUser|Петя|2"), wire("StateUser|Нет|1"),
               wire("AddUser|ПЕТЯ"), wire("DelUser|Нет"), wire("AllUser|Петя|маркер")});
    ASSERT_TRUE(view.waitForLine("Петя: маркер"));
    RosterModel& roster = client.roster();
    ASSERT_EQ(roster.size(), 2);
    EXPECT_EQ(roster.at(1).nick, "ПЕТЯ") << "a re-arrival differing in letter case renames the entry";
    EXPECT_EQ(roster.at(1).state, OnLine) << "and starts it over";
    EXPECT_EQ(roster.pictureIndex(0), 2) << "the own entry";
    EXPECT_TRUE(view.texts().contains("От нас ушёл (ушла) Нет..."));
    EXPECT_EQ(view.texts().count("К нам пришёл (пришла) ПЕТЯ..."), 1) << "no line for the list reply";
}

TEST_F(ChatClientTest, UnseenLinesMarkTheirConversationUntilItIsShown)
{
    logInQuietly();
    peer.send({wire("AddUser|Вася"), wire("AddUser|Петя"), wire("AllUser|Петя|видно")});
    ASSERT_TRUE(view.waitForLine("Петя: видно"));
    RosterModel& roster = client.roster();
    EXPECT_EQ(roster.pictureIndex(0), 2) << "a line in the conversation shown marks nothing";

    client.conversationShown(QStringLiteral("Петя"));
    peer.send({wire("AllUser|Петя|не видно"), wire("PrivatUser|Петя|Вася|лично")});
    ASSERT_TRUE(view.waitForLine("Петя: лично", QStringLiteral("Петя")));
    EXPECT_EQ(roster.pictureIndex(0), 3) << "the own entry stands for the common conversation";
    EXPECT_EQ(roster.pictureIndex(1), 0) << "the private conversation is the one shown";

    client.setMinimized(true);
    peer.send({wire("PrivatUser|Петя|Вася|пока свёрнуто")});
    ASSERT_TRUE(view.waitForLine("Петя: пока свёрнуто", QStringLiteral("Петя")));
    EXPECT_EQ(roster.pictureIndex(1), 1);
    client.conversationShown(std::nullopt);
    EXPECT_EQ(roster.pictureIndex(0), 2);
}

TEST_F(ChatClientTest, ForgettingTheServersStateLeavesWhatALogInShowsOnTheSameConnection)
{
    logInQuietly();
    peer.send({wire("AddUser|Петя"), wire("Topic|о погоде"), wire("PrivatUser|Вася|Петя|себе"),
               wire("TextStyle|AllUser|204|255|-13|1|0|0|0|Arial"), wire("AllUser|Петя|маркер")});
    ASSERT_TRUE(view.waitForLine("Петя: маркер"));
    ASSERT_EQ(client.ownCopiesTo(QStringLiteral("Петя")), 1);
    client.forgetServerState();
    ASSERT_EQ(client.roster().size(), 1);
    EXPECT_EQ(client.roster().at(0).nick, "Вася") << "the own entry stays";
    EXPECT_EQ(client.topic(), "");
    EXPECT_EQ(view.topics.back(), "") << "the window shows no topic any more";
    EXPECT_EQ(client.ownCopiesTo(QStringLiteral("Петя")), 0);
    peer.send({wire("AllUser|Петя|после")});
    ASSERT_TRUE(view.waitForLine("Петя: после")) << "the connection reads on";
    EXPECT_FALSE(view.lines.back().style) << "the received style is forgotten";
}

TEST_F(ChatClientTest, TopicAndStateRequestsGoToTheServer)
{
    logInQuietly();
    peer.send({wire("Topic|   ")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view.topics.isEmpty(); }));
    EXPECT_EQ(client.topic(), "") << "a blank topic shows none";
    client.changeTopic(QString());
    client.changeTopic(QStringLiteral("о погоде"));
    client.changeState(Busy);
    EXPECT_EQ(peer.waitForField("Topic|"), wire("Topic|о погоде")) << "an unchanged topic is not sent";
    EXPECT_EQ(peer.waitForField("StateUser|"), wire("StateUser|Вася|3"));
}

TEST_F(ChatClientTest, CardsAreAskedForAndShownAsTheyCame)
{
    logInQuietly();
    client.requestCard(QStringLiteral("Петя"));
    EXPECT_EQ(peer.waitForField("GetInfo|"), wire("GetInfo|Петя"));
    peer.send(
        {wire("GetInfo|Петя|Пётр|Петров|RU|Тверь|ул. 1|1|2|p@x.ru|http://x.ru|123|строка\r\nс | внутри"),
         wire("GetInfo|Коля|Николай|Ъ"), "GetInfo|no separator at all"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.cards.size() == 3; }));
    EXPECT_EQ(view.cards[0].nick, "Петя");
    EXPECT_EQ(view.cards[0].fields[PersonalCard::kHomePage], "http://x.ru");
    EXPECT_EQ(view.cards[0].fields[PersonalCard::kDescription], "строка\r\nс | внутри");
    EXPECT_EQ(view.cards[1].nick, "Коля") << "a short reply fills the first fields";
    EXPECT_EQ(view.cards[1].fields[0], "Николай");
    EXPECT_EQ(view.cards[1].fields[1], "") << "the fields after the last separator are empty";
    EXPECT_EQ(view.cards[1].fields[PersonalCard::kDescription], "Ъ")
        << "and the last value is the description";
    EXPECT_EQ(view.cards[2].nick, "");
    EXPECT_EQ(view.cards[2].fields[PersonalCard::kDescription], "no separator at all");
}

TEST_F(ChatClientTest, TheOwnCardIsStoredAndPublishedWhileConnected)
{
    PersonalCard card = client.ownCard();
    EXPECT_EQ(card.fields[PersonalCard::kHomePage], "http://");
    card.fields[3] = QStringLiteral("Тверь");
    client.saveOwnCard(card);
    EXPECT_EQ(ReadInfoField(InfoField::City), "Тверь");
    EXPECT_TRUE(peer.fields().empty()) << "offline the card is only stored";

    logInQuietly();
    card.fields[3] = QStringLiteral("Москва");
    client.saveOwnCard(card);
    EXPECT_EQ(peer.waitForField(wire("SetInfo|Вася|N/A|N/A|N/A|Москва")).substr(0, 30),
              wire("SetInfo|Вася|N/A|N/A|N/A|Москва").substr(0, 30));
}

TEST_F(ChatClientTest, MessagesBecomeTheLastMessageAndBeepWhileMinimised)
{
    WriteConfigFlag(ConfigFlag::BeepOnPrivate, true);
    logInQuietly();
    QSignalSpy beeps(&client.alerts(), &MessageAlerts::beepRequested);
    client.setMinimized(true);
    peer.send({wire("PrivatUser|Петя|Вася|ты тут?")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.alerts().lastMessage() == "Петя: ты тут?"; }));
    EXPECT_EQ(beeps.count(), 1);
    EXPECT_TRUE(client.alerts().isFlashing());
}

} // namespace
} // namespace kovrel

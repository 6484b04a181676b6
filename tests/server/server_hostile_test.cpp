// SPDX-License-Identifier: GPL-3.0-or-later
// Hostile and broken clients against the real kovrel-server: each is cut off or held back while the
// others carry on.

#include "server_process.h"
#include "test_client.h"

#include "cp1251.h"
#include "packet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <memory>

namespace kovrel::server::test {
namespace {

using Fields = std::vector<std::string>;

std::size_t countOccurrences(const std::string& text, std::string_view part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) {
        ++count;
    }
    return count;
}

std::size_t countStartingWith(const Fields& fields, std::string_view prefix)
{
    return static_cast<std::size_t>(std::count_if(
        fields.begin(), fields.end(), [&](const std::string& f) { return f.starts_with(prefix); }));
}

// Two ordinary users, proving after each attack that the conversation still works.
struct Bystanders
{
    explicit Bystanders(unsigned short port) : anna(port), boris(port)
    {
        anna.login("Anna");
        boris.login("Boris");
        anna.expect("AddUser|Boris");
    }

    void stillTalk()
    {
        anna.send({"TextStyle|AllUser|204|0|-13|0|0|0|0|Arial", "AllUser|Anna|still here"});
        EXPECT_EQ(boris.expect("AllUser|Anna|"), "AllUser|Anna|still here");
        EXPECT_EQ(anna.expect("AllUser|Anna|"), "AllUser|Anna|still here");
    }

    TestClient anna;
    TestClient boris;
};

TEST(ServerHostile, ALogReaderThatGoesAwayStopsNeitherTheConversationNorTheSavingOfTheState)
{
    TemporaryDirectory folder;
    const std::string state = (folder.path() / "state").string();
    {
        ServerProcess server({"--state", state}, ServerProcess::LogTo::Pipe);
        Bystanders others(server.port());
        server.closeLogReader();

        TestClient late(server.port()); // its connection is logged
        late.login("Late");
        EXPECT_EQ(others.anna.expect("AddUser|"), "AddUser|Late");
        others.stillTalk();
        others.boris.send({"Topic|set after the log went away"});
        EXPECT_EQ(others.anna.expect("Topic|"), "Topic|set after the log went away");

        server.signal(SIGTERM);
        EXPECT_EQ(others.anna.expect("Disconnect|"), "Disconnect|");
        EXPECT_EQ(server.waitForExit(), 0);
    }
    ServerProcess restarted({"--state", state});
    TestClient client(restarted.port());
    const Fields roster = client.login("Client");
    EXPECT_EQ(countStartingWith(roster, "Topic|set after the log went away"), 1u);
}

TEST(ServerHostile, ALengthPrefixThatIsNotFiveDigitsClosesThatConnectionOnly)
{
    ServerProcess server;
    Bystanders others(server.port());
    TestClient mallory(server.port());
    mallory.login("Mallory");
    mallory.sendRaw("GET / HTTP/1.0\r\n\r\n");

    mallory.readUntilClosed();
    EXPECT_EQ(others.anna.expect("DelUser|"), "DelUser|Mallory");
    others.stillTalk();
}

TEST(ServerHostile, HalfAFieldThenSilenceIsProbedAndClosedWhileAnAnsweringClientStays)
{
    ServerProcess server({"--probe-interval", "1"});
    Bystanders others(server.port());
    TestClient silent(server.port());
    silent.answerProbes(false);
    silent.sendRaw(BuildPacket({"AddUser|Silent"}).substr(0, 12));

    // Anna and Boris answer probes and say nothing else meanwhile.
    const auto deadline = std::chrono::steady_clock::now() + TestClient::kDeadline;
    while (!silent.closed() && std::chrono::steady_clock::now() < deadline) {
        silent.pump(std::chrono::milliseconds(50));
        others.anna.pump(std::chrono::milliseconds(50));
        others.boris.pump(std::chrono::milliseconds(50));
    }
    EXPECT_GE(countStartingWith(silent.readUntilClosed(), "TestConnection|"), 1u);
    EXPECT_NE(server.log().find("silent"), std::string::npos);
    others.stillTalk();
}

TEST(ServerHostile, AFloodIsCutToTheRateLimitWhileTheOthersCarryOn)
{
    ServerProcess server;
    Bystanders others(server.port());
    TestClient flooder(server.port());
    flooder.login("Flooder");
    others.anna.expect("AddUser|Flooder");

    constexpr int kFlood = 500;
    std::string flood;
    for (int i = 0; i < kFlood; ++i) {
        flood += BuildPacket(
            {"TextStyle|AllUser|204|0|-13|0|0|0|0|Arial", "AllUser|Flooder|spam " + std::to_string(i)});
    }
    flooder.sendRaw(flood);
    flooder.send({"GetUser|Flooder"});
    flooder.expect("GetUser|"); // the whole flood has been handled

    others.anna.send({"GetUser|Anna"});
    const std::size_t arrived = countStartingWith(others.anna.readUntil("GetUser|"), "AllUser|Flooder|");
    EXPECT_GE(arrived, 1u);
    EXPECT_LT(arrived, kFlood / 2u);
    others.stillTalk();
}

// The client's input box takes at most 2,048 characters and its font names are short: anything longer is
// refused rather than relayed to everybody.
TEST(ServerHostile, OverlongChatTextsAndFaceNamesAreRefusedAndLogged)
{
    ServerProcess server;
    Bystanders others(server.port());
    const std::string style = "TextStyle|AllUser|204|0|-13|0|0|0|0|";
    others.boris.send({"AllUser|Boris|" + std::string(2049, 'x')});
    others.boris.send({"PrivatUser|Boris|Anna|" + std::string(80000, 'x')});
    others.boris.send({"AllUser|Boris|" + std::string(2048, 'y')});
    const Fields first = others.anna.readUntil("AllUser|");
    EXPECT_EQ(first.back(), "AllUser|Boris|" + std::string(2048, 'y'));
    EXPECT_EQ(countStartingWith(first, "PrivatUser|"), 0u);

    // Refused styles are logged with their chat line only, so the chat limits bound the log too.
    std::string styles;
    for (int i = 0; i < 100; ++i) {
        styles += BuildPacket({style + std::string(80000, 'F')});
    }
    others.boris.sendRaw(styles);
    others.boris.send({style + std::string(65, 'F'), "AllUser|Boris|plain"});
    EXPECT_EQ(others.anna.readUntil("AllUser|").back(), "AllUser|Boris|plain");
    others.boris.send({style + std::string(64, 'F'), "AllUser|Boris|styled"});
    const Fields styled = others.anna.readUntil("AllUser|");
    ASSERT_GE(styled.size(), 2u);
    EXPECT_EQ(styled[styled.size() - 2], style + std::string(64, 'F'));

    const std::string log = server.log();
    EXPECT_EQ(countOccurrences(log, "chat text longer than 2048 characters"), 2u);
    EXPECT_EQ(countOccurrences(log, "face name longer than 64 bytes"), 1u);
}

// Within the message limit (off here), 200 KB of chat in one go is held to the byte budget: the rest is
// dropped, and the others' connections stay fed.
TEST(ServerHostile, AByteFloodIsHeldToTheByteBudget)
{
    ServerProcess server({"--chat-rate", "0", "--chat-bytes", "20000"});
    Bystanders others(server.port());
    constexpr int kLines = 100;
    std::string flood;
    for (int i = 0; i < kLines; ++i) {
        flood += BuildPacket({"AllUser|Boris|" + std::string(2000, 'z')});
    }
    others.boris.sendRaw(flood);
    others.boris.send({"GetUser|Boris"});
    others.boris.expect("GetUser|"); // the whole flood has been handled

    others.anna.send({"GetUser|Anna"});
    const std::size_t arrived = countStartingWith(others.anna.readUntil("GetUser|"), "AllUser|Boris|");
    EXPECT_GE(arrived, 15u); // a burst of twice the budget: 40,000 bytes
    EXPECT_LT(arrived, 40u);
}

TEST(ServerHostile, AClientThatDoesNotReadIsCutOffWithoutHoldingUpTheOthers)
{
    ServerProcess server;
    Bystanders others(server.port());
    TestClient sleeper(server.port(), 4096);
    sleeper.login("Sleeper", std::string(8000, 'c'));
    others.anna.expect("AddUser|Sleeper");

    // Each request asks for an 8 kB answer; 2000 of them are 16 MB that the sleeper never reads.
    constexpr int kRequests = 2000;
    std::string requests;
    for (int i = 0; i < kRequests; ++i) {
        requests += BuildPacket({"GetInfo|Sleeper"});
    }
    sleeper.sendRaw(requests);

    EXPECT_EQ(others.anna.expect("DelUser|"), "DelUser|Sleeper");
    others.stillTalk();
    EXPECT_LT(countStartingWith(sleeper.readUntilClosed(), "GetInfo|"), static_cast<std::size_t>(kRequests));
    EXPECT_NE(server.log().find("not reading"), std::string::npos);
}

// Every test connection comes from 127.0.0.1: the two bystanders count towards the cap of 16 too.
TEST(ServerHostile, SocketsThatNeverLogInAreCappedPerAddressAndClosedAtTheLogInDeadline)
{
    ServerProcess server({"--login-timeout", "5"});
    Bystanders others(server.port());
    constexpr std::size_t kSockets = 100;
    constexpr std::size_t kAdmitted = 16 - 2;
    std::vector<std::unique_ptr<TestClient>> idle;
    for (std::size_t i = 0; i < kSockets; ++i) {
        idle.push_back(std::make_unique<TestClient>(server.port()));
        idle.back()->send({"TestConnection|"});
    }
    // Another machine is not held up by this one's sockets.
    TestClient elsewhere(server.port(), 0, asio::ip::make_address_v4("127.0.0.2"));
    elsewhere.login("Elsewhere");
    EXPECT_EQ(others.anna.expect("AddUser|"), "AddUser|Elsewhere");
    for (const auto& socket : idle) {
        EXPECT_TRUE(socket->readUntilClosed().empty());
        ASSERT_TRUE(socket->closed()); // not closed by the deadline: the rest would wait as long
    }

    const std::string log = server.log();
    EXPECT_EQ(countOccurrences(log, "too many connections from this address"), kSockets - kAdmitted);
    EXPECT_EQ(countOccurrences(log, "not logged in within 5 s"), kAdmitted);
    others.stillTalk(); // logged in, so never subject to the deadline
    TestClient newcomer(server.port());
    newcomer.login("Newcomer");
    EXPECT_EQ(others.anna.expect("AddUser|"), "AddUser|Newcomer");
}

// A user who logs out but keeps the connection is again a connection that has not logged in.
TEST(ServerHostile, TheLogInDeadlineStartsAgainAfterALogOut)
{
    ServerProcess server({"--login-timeout", "1"});
    TestClient client(server.port());
    client.login("Leaver");
    client.logout("Leaver");
    EXPECT_TRUE(client.readUntilClosed().empty());
    EXPECT_NE(server.log().find("not logged in within 1 s"), std::string::npos);
}

// What the client sees of a nick it tries: the admission check, then the answer to "AddUser".
struct LoginAttempt
{
    std::string existUser;
    std::string answer;
};

LoginAttempt tryLogin(unsigned short port, const std::string& nick)
{
    TestClient client(port);
    client.send({"ExistUser|" + nick});
    LoginAttempt attempt{client.expect("ExistUser|"), {}};
    // Refused or admitted, the log-out ends with "DelUser".
    client.send({"AddUser|" + nick, "DelUser|" + nick});
    const Fields answer = client.readUntil("DelUser|" + nick);
    attempt.answer = answer.empty() ? std::string() : answer.front();
    return attempt;
}

TEST(ServerHostile, LookAlikesOfANickOnlineAreTakenAndAddressShapedNicksAreRefused)
{
    ServerProcess server;
    TestClient admin(server.port());
    admin.login("admin");
    TestClient oleg(server.port());
    oleg.login(cp1251::fromUtf8("Олег"));

    // Cyrillic а, і, А, О, Н, М; digits for letters; "l" for "i".
    for (const char* nick : {"аdmin", "аdmіn", "АDMIN", "adm1n", "admln", "ADMlN", "0лег", "Oлег", "OЛEГ"}) {
        const LoginAttempt attempt = tryLogin(server.port(), cp1251::fromUtf8(nick));
        EXPECT_EQ(attempt.existUser, "ExistUser|1") << nick;
        EXPECT_EQ(attempt.answer, "Disconnect|") << nick;
    }
    // "ExistUser" with an address is the address check; as a nick it would be ambiguous.
    for (const char* nick : {"10.0.0.7", "127.0.0.1"}) {
        const LoginAttempt attempt = tryLogin(server.port(), nick);
        EXPECT_EQ(attempt.existUser, "ExistUser|-1") << nick;
        EXPECT_EQ(attempt.answer, "Disconnect|") << nick;
    }
    for (const char* nick : {"admins", "10.0.0.7a", "Oлeг2"}) {
        EXPECT_EQ(tryLogin(server.port(), cp1251::fromUtf8(nick)).answer, "AddUser|" + cp1251::fromUtf8(nick))
            << nick;
    }
    EXPECT_EQ(countOccurrences(server.log(), "nick in use"), 9u);
    EXPECT_EQ(countOccurrences(server.log(), "invalid nick"), 2u);
}

TEST(ServerHostile, ConnectionsBeyondTheLimitAreRefusedUntilOneCloses)
{
    ServerProcess server({"--max-clients", "2"});
    TestClient first(server.port());
    first.login("First");
    TestClient second(server.port());
    second.login("Second");

    TestClient third(server.port());
    EXPECT_TRUE(third.readUntilClosed().empty());

    first.close();
    EXPECT_EQ(second.expect("DelUser|"), "DelUser|First");
    TestClient fourth(server.port());
    fourth.login("Fourth");
    EXPECT_EQ(second.expect("AddUser|"), "AddUser|Fourth");
}

} // namespace
} // namespace kovrel::server::test

// SPDX-License-Identifier: GPL-3.0-or-later
// The real kovrel-server driven by the log-in, conversation and log-out sequences of the client.

#include "server_process.h"
#include "test_client.h"

#include "cp1251.h"
#include "packet.h"

#include <gtest/gtest.h>

#include <csignal>

namespace kovrel::server::test {
namespace {

using Fields = std::vector<std::string>;

const std::string kStyle = "204|0|-13|0|0|0|0|Tahoma";
const std::string kCard = "Ivan|Petrov|RU|Tver|N/A|N/A|N/A|ivan@example.org|http://|N/A|Tea\r\nand | cake";

TEST(ServerConversation, TwoUsersMeetTalkChangeStateAndTopicQueryEachOtherAndLeave)
{
    ServerProcess server;
    TestClient vasya(server.port());
    vasya.login("Vasya", kCard);
    TestClient petya(server.port());
    EXPECT_TRUE(contains(petya.login("Petya"), "GetUser|Vasya"));
    EXPECT_EQ(vasya.expect("AddUser|"), "AddUser|Petya");

    const std::string hello = cp1251::fromUtf8("Привет, Петя!");
    vasya.send({"TextStyle|AllUser|" + kStyle, "AllUser|Vasya|" + hello});
    const Fields publicLine = {"TextStyle|AllUser|" + kStyle, "AllUser|Vasya|" + hello};
    EXPECT_EQ(chatLine(petya, "AllUser"), publicLine);
    EXPECT_EQ(chatLine(vasya, "AllUser"), publicLine);

    petya.send({"TextStyle|PrivatUser|Petya|Vasya|" + kStyle, "PrivatUser|Petya|Vasya|just between us"});
    const Fields privateLine = {"TextStyle|PrivatUser|Petya|Vasya|" + kStyle,
                                "PrivatUser|Petya|Vasya|just between us"};
    EXPECT_EQ(chatLine(vasya, "PrivatUser"), privateLine);
    EXPECT_EQ(chatLine(petya, "PrivatUser"), privateLine);

    petya.send({"StateUser|Petya|2"});
    EXPECT_EQ(vasya.expect("StateUser|"), "StateUser|Petya|2");
    EXPECT_EQ(petya.expect("StateUser|"), "StateUser|Petya|2");
    vasya.send({"Topic|Release on Friday"});
    EXPECT_EQ(vasya.expect("Topic|"), "Topic|Release on Friday");
    EXPECT_EQ(petya.expect("Topic|"), "Topic|Release on Friday");

    petya.send({"GetIPUser|Vasya"});
    EXPECT_EQ(petya.expect("GetIPUser|"), "GetIPUser|127.0.0.1");
    petya.send({"GetInfo|Vasya"});
    EXPECT_EQ(petya.expect("GetInfo|"), "GetInfo|Vasya|" + kCard);

    vasya.logout("Vasya");
    EXPECT_EQ(petya.expect("DelUser|"), "DelUser|Vasya");
    petya.send({"GetUser|Petya"});
    EXPECT_EQ(petya.readUntil("Topic|"),
              (Fields{"GetUser|Petya", "StateUser|Petya|2", "Topic|Release on Friday"}));
}

// What the server produces for a reader during one turn of its event loop leaves in one write: a burst of
// lines that arrives in one read reaches the others in a few TCP segments, not one per line.
TEST(ServerConversation, ABurstReadAtOnceReachesEachReaderInOneWrite)
{
    ServerProcess server({"--chat-rate", "0", "--chat-bytes", "0"});
    TestClient reader(server.port());
    reader.login("Reader");
    TestClient talker(server.port());
    talker.login("Talker");
    reader.expect("AddUser|Talker");

    constexpr int kLines = 100;
    std::string burst;
    for (int i = 0; i < kLines; ++i) {
        burst += BuildPacket({"TextStyle|AllUser|" + kStyle, "AllUser|Talker|line " + std::to_string(i)});
    }
    const unsigned segmentsBefore = reader.dataSegmentsReceived();
    talker.sendRaw(burst);
    for (int i = 0; i < kLines; ++i) {
        ASSERT_EQ(chatLine(reader, "AllUser"),
                  (Fields{"TextStyle|AllUser|" + kStyle, "AllUser|Talker|line " + std::to_string(i)}));
    }
    EXPECT_EQ(reader.dataSegmentsReceived() - segmentsBefore, 1u);
}

TEST(ServerConversation, ATakenNickIsRefusedAndItsLogOutLeavesTheOwnerAlone)
{
    ServerProcess server;
    TestClient vasya(server.port());
    vasya.login("Vasya");

    TestClient intruder(server.port());
    intruder.send({"ExistUser|vASYA"});
    EXPECT_EQ(intruder.expect("ExistUser|"), "ExistUser|1");
    intruder.send({"AddUser|VASYA"});
    EXPECT_EQ(intruder.expect("Disconnect|"), "Disconnect|");
    intruder.logout("VASYA");

    vasya.send({"GetUser|Vasya"});
    EXPECT_EQ(vasya.readUntil("GetUser|"), Fields{"GetUser|Vasya"});
}

TEST(ServerConversation, ABlacklistedAddressIsRefusedAtAccept)
{
    const TemporaryFile blacklist("# everybody on this machine\n127.0.0.1\n");
    ServerProcess server({"--blacklist", blacklist.path().string()});
    TestClient refused(server.port());
    refused.send({"ExistUser|127.0.0.1"});

    EXPECT_TRUE(refused.readUntilClosed().empty());
    EXPECT_NE(server.log().find("blacklisted"), std::string::npos) << server.log();
}

TEST(ServerConversation, FieldsArriveWholeHoweverTheStreamIsCut)
{
    ServerProcess server;
    TestClient client(server.port());
    const std::string packet = BuildPacket({"ExistUser|Vasya", "AddUser|Vasya", "GetUser|Vasya"});
    for (char byte : packet) {
        client.sendRaw(std::string_view(&byte, 1));
    }
    EXPECT_EQ(client.readUntil("GetUser|"), (Fields{"ExistUser|-1", "AddUser|Vasya", "GetUser|Vasya"}));
}

TEST(ServerConversation, TheClientsKeepAliveIsNeverEchoed)
{
    ServerProcess server;
    TestClient client(server.port());
    client.login("Vasya");
    client.send({"TestConnection|"});
    client.send({"TestConnection|"});
    client.send({"GetUser|Vasya"});
    EXPECT_EQ(client.readUntil("GetUser|"), Fields{"GetUser|Vasya"});
}

TEST(ServerConversation, StoppingAsksEveryClientToLogOutAndExitsCleanly)
{
    ServerProcess server;
    TestClient vasya(server.port());
    vasya.login("Vasya");
    TestClient petya(server.port());
    petya.login("Petya");

    server.signal(SIGTERM);
    for (auto [client, nick] : {std::pair{&vasya, "Vasya"}, std::pair{&petya, "Petya"}}) {
        EXPECT_EQ(client->expect("Disconnect|"), "Disconnect|") << nick;
        client->send({std::string("DelUser|") + nick});
        EXPECT_TRUE(
            contains(client->readUntil("DelUser|" + std::string(nick)), "DelUser|" + std::string(nick)));
    }
    vasya.close();
    petya.close();
    EXPECT_EQ(server.waitForExit(), 0) << server.log();
}

TEST(ServerConversation, AClientThatIgnoresTheStopDoesNotKeepTheServerRunning)
{
    ServerProcess server;
    TestClient stubborn(server.port());
    stubborn.login("Stubborn");
    server.signal(SIGINT);
    EXPECT_EQ(server.waitForExit(), 0) << server.log();
}

TEST(ServerConversation, TopicAndCardsSurviveARestart)
{
    // A folder, for the database's log files beside it.
    const TemporaryDirectory folder;
    const std::string state = (folder.path() / "state").string();
    {
        ServerProcess server({"--state", state});
        TestClient vasya(server.port());
        vasya.login("Vasya", kCard);
        vasya.send({"Topic|Kept topic"});
        EXPECT_EQ(vasya.expect("Topic|"), "Topic|Kept topic");
        vasya.logout("Vasya");
        server.signal(SIGTERM);
        EXPECT_EQ(server.waitForExit(), 0) << server.log();
    }
    ServerProcess server({"--state", state});
    TestClient petya(server.port());
    EXPECT_TRUE(contains(petya.login("Petya"), "Topic|Kept topic"));
    petya.send({"GetInfo|vasya"});
    EXPECT_EQ(petya.expect("GetInfo|"), "GetInfo|Vasya|" + kCard);
}

} // namespace
} // namespace kovrel::server::test

// SPDX-License-Identifier: GPL-3.0-or-later
// Several real kovrel-server nodes sharing one room through a real redis-server on 127.0.0.1.

#include "server_process.h"
#include "test_client.h"

#include "cp1251.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

namespace kovrel::server::test {
namespace {

using Fields = std::vector<std::string>;

const std::string kStyle = "204|0|-13|0|0|0|0|Tahoma";
const std::string kCard = "Ivan|Petrov|RU|Tver|N/A|N/A|N/A|ivan@example.org|http://|N/A|Tea\r\nand | cake";
// Short, so that a dead node's users go away quickly; the waits themselves are bounded by a deadline only.
const std::string kPresenceTtl = "2";

// Whether the fields that came before the own "AddUser" tell of `nick`: in the user list, or as one who
// came while the log-in was under way.
bool tellsOf(const Fields& roster, const std::string& nick)
{
    return contains(roster, "GetUser|" + nick) || contains(roster, "AddUser|" + nick);
}

bool knownOn(const ServerProcess& node, const std::string& nick)
{
    TestClient asker(node.port());
    return knownTo(asker, nick);
}

// The lines redis-cli printed.
Fields linesOf(const std::string& text)
{
    Fields lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

struct User
{
    std::string nick;
    std::unique_ptr<TestClient> client;
};

// Logs in `count` users named `prefix` and a number; enough that the kernel puts some on every thread.
std::vector<User> logInMany(const ServerProcess& node, const std::string& prefix, int count)
{
    std::vector<User> users;
    for (int i = 0; i < count; ++i) {
        users.push_back({prefix + std::to_string(i), std::make_unique<TestClient>(node.port())});
        users.back().client->login(users.back().nick);
    }
    return users;
}

class ServerCluster : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!RedisProcess::executable()) {
            GTEST_SKIP() << "redis-server is not installed (scripts/install-deps installs it)";
        }
        m_redis.emplace(m_folder.path());
    }

    RedisProcess& redis() { return *m_redis; }

    // A node that has joined the cluster and read the roster of the others.
    std::unique_ptr<ServerProcess> startNode(std::vector<std::string> options = {})
    {
        auto node = startNodeUnready(std::move(options));
        EXPECT_TRUE(node->waitForLog("roster read")) << node->log();
        return node;
    }

    std::unique_ptr<ServerProcess> startNodeUnready(std::vector<std::string> options = {})
    {
        options.insert(options.end(), {"--cluster", m_redis->url(), "--presence-ttl", kPresenceTtl});
        return std::make_unique<ServerProcess>(options);
    }

private:
    TemporaryDirectory m_folder;
    std::optional<RedisProcess> m_redis;
};

TEST_F(ServerCluster, UsersOnDifferentNodesChatPubliclyAndPrivatelyAndShareTopicAndCards)
{
    const auto north = startNode();
    const auto south = startNode();
    TestClient vasya(north->port());
    vasya.login("Vasya", kCard);
    ASSERT_TRUE(knownOn(*south, "Vasya"));
    TestClient petya(south->port());
    EXPECT_TRUE(tellsOf(petya.login("Petya"), "Vasya"));
    EXPECT_EQ(vasya.expect("AddUser|"), "AddUser|Petya");
    // The card travels as news of its own, after the nick's claim: it may reach the other node a moment
    // after the nick.
    EXPECT_TRUE(eventuallyAnswers(petya, "GetInfo|vasya", "GetInfo|Vasya|" + kCard));

    const std::string hello = cp1251::fromUtf8("Привет, Петя!");
    vasya.send({"TextStyle|AllUser|" + kStyle, "AllUser|Vasya|" + hello});
    const Fields publicLine = {"TextStyle|AllUser|" + kStyle, "AllUser|Vasya|" + hello};
    EXPECT_EQ(chatLine(petya, "AllUser"), publicLine);
    EXPECT_EQ(chatLine(vasya, "AllUser"), publicLine);

    petya.send({"TextStyle|PrivatUser|Petya|vasya|" + kStyle, "PrivatUser|Petya|vasya|just between us"});
    const Fields privateLine = {"TextStyle|PrivatUser|Petya|Vasya|" + kStyle,
                                "PrivatUser|Petya|Vasya|just between us"};
    EXPECT_EQ(chatLine(vasya, "PrivatUser"), privateLine);
    EXPECT_EQ(chatLine(petya, "PrivatUser"), privateLine);
    vasya.send({"PrivatUser|Vasya|Petya|and back"});
    EXPECT_EQ(chatLine(petya, "PrivatUser")[1], "PrivatUser|Vasya|Petya|and back");

    petya.send({"StateUser|Petya|2"});
    EXPECT_EQ(vasya.expect("StateUser|"), "StateUser|Petya|2");
    vasya.send({"Topic|Release on Friday"});
    EXPECT_EQ(petya.expect("Topic|"), "Topic|Release on Friday");
    vasya.send({"GetIPUser|Petya"});
    EXPECT_EQ(vasya.expect("GetIPUser|"), "GetIPUser|127.0.0.1");

    // A newcomer on a third node sees the whole cluster, states and topic included.
    const auto east = startNode();
    TestClient anna(east->port());
    anna.send({"ExistUser|petya"});
    EXPECT_EQ(anna.expect("ExistUser|"), "ExistUser|1");
    const Fields roster = anna.login("Anna");
    EXPECT_TRUE(tellsOf(roster, "Vasya"));
    EXPECT_TRUE(tellsOf(roster, "Petya"));
    EXPECT_TRUE(contains(roster, "StateUser|Petya|2"));
    EXPECT_TRUE(contains(roster, "Topic|Release on Friday"));
    anna.send({"GetInfo|Vasya"});
    EXPECT_EQ(anna.expect("GetInfo|"), "GetInfo|Vasya|" + kCard);

    petya.logout("Petya");
    EXPECT_EQ(vasya.expect("DelUser|"), "DelUser|Petya");
    EXPECT_EQ(anna.expect("DelUser|"), "DelUser|Petya");
    // Gone from the cluster: the nick is free on any node.
    TestClient again(north->port());
    again.login("Petya");
}

TEST_F(ServerCluster, ANickTakenOnOneNodeIsRefusedOnAnotherInAnyCaseAndInLookAlikeLetters)
{
    const auto north = startNode();
    const auto south = startNode();
    TestClient vasya(north->port());
    vasya.login("Vasya");

    TestClient shouting(south->port());
    EXPECT_EQ(tryLogin(shouting, "VASYA"), "Disconnect|");
    // Cyrillic "а" in place of the Latin "a".
    TestClient lookAlike(south->port());
    EXPECT_EQ(tryLogin(lookAlike, cp1251::fromUtf8("Vаsya")), "Disconnect|");
    EXPECT_TRUE(south->log().find("nick in use") != std::string::npos) << south->log();
}

TEST_F(ServerCluster, OfTwoLogInsWithOneNickOnTwoNodesAtOnceExactlyOneSucceeds)
{
    const auto north = startNode();
    const auto south = startNode();
    for (int round = 0; round < 10; ++round) {
        const std::string nick = "Twin" + std::to_string(round);
        TestClient first(north->port());
        TestClient second(south->port());
        first.send({"AddUser|" + nick});
        second.send({"AddUser|" + nick});
        const std::string firstAnswer = firstAnswerTo(first, nick);
        const std::string secondAnswer = firstAnswerTo(second, nick);
        EXPECT_NE(firstAnswer == "Disconnect|", secondAnswer == "Disconnect|")
            << firstAnswer << " / " << secondAnswer;
    }
}

TEST_F(ServerCluster, AKilledNodesUsersDisappearFromTheOtherNodesAfterTheExpiry)
{
    auto north = startNode();
    const auto south = startNode();
    TestClient vasya(north->port());
    vasya.login("Vasya");
    ASSERT_TRUE(knownOn(*south, "Vasya"));
    TestClient petya(south->port());
    EXPECT_TRUE(tellsOf(petya.login("Petya"), "Vasya"));

    north->signal(SIGKILL);
    north->waitForExit();
    EXPECT_EQ(petya.expect("DelUser|"), "DelUser|Vasya");
    TestClient returning(south->port());
    const Fields roster = returning.login("Vasya");
    EXPECT_FALSE(tellsOf(Fields(roster.begin(), roster.end() - 1), "Vasya"));
}

TEST_F(ServerCluster, ANodeStartedWhileRedisIsDownRefusesLogInsUntilRedisReturns)
{
    // On two threads, beside a node on one: the outage and the catching up are the process's, not a thread's.
    const auto north = startNode({"--threads", "2"});
    TestClient vasya(north->port());
    vasya.login("Vasya");
    redis().kill();
    EXPECT_TRUE(north->waitForLog("Redis unreachable")) << north->log();

    const auto south = startNodeUnready();
    TestClient early(south->port());
    EXPECT_EQ(tryLogin(early, "Early"), "Disconnect|");
    EXPECT_TRUE(south->waitForLog("cluster unreachable, log-ins refused")) << south->log();

    // The users already connected are still served by their node, and what could not go out is counted.
    vasya.send({"AllUser|Vasya|still here"});
    EXPECT_EQ(chatLine(vasya, "AllUser")[1], "AllUser|Vasya|still here");
    EXPECT_TRUE(north->waitForLog("could not be published")) << north->log();
    vasya.send({"SetInfo|Vasya|" + kCard, "Topic|Set while Redis was away"});
    EXPECT_EQ(vasya.expect("Topic|"), "Topic|Set while Redis was away");

    redis().restart();
    EXPECT_TRUE(south->waitForLog("roster read")) << south->log();
    EXPECT_TRUE(north->waitForLog("were not published while Redis was unreachable")) << north->log();
    TestClient petya(south->port());
    const Fields roster = petya.login("Petya");
    EXPECT_EQ(vasya.expect("AddUser|"), "AddUser|Petya");
    // What changed on the node that stayed up was written to Redis and told to the others once it was back.
    EXPECT_TRUE(north->waitForLog("1 cards changed while Redis was unreachable are written now"))
        << north->log();
    const std::string topic = "Topic|Set while Redis was away";
    EXPECT_TRUE(contains(roster, topic) || petya.expect("Topic|") == topic);
    EXPECT_TRUE(eventuallyAnswers(petya, "GetInfo|vasya", "GetInfo|Vasya|" + kCard));
    petya.send({"AllUser|Petya|back together"});
    EXPECT_EQ(chatLine(vasya, "AllUser")[1], "AllUser|Petya|back together");
    // The nick of the node that stayed up was claimed again in the new Redis.
    TestClient impostor(south->port());
    EXPECT_EQ(tryLogin(impostor, "Vasya"), "Disconnect|");
}

TEST_F(ServerCluster, ANodeOnThreeThreadsIsOneNodeToRedisServesItsUsersAsOneRoomAndStopsCleanly)
{
    const auto node = startNode({"--threads", "3"});
    EXPECT_TRUE(node->waitForLog("roster read: 0")) << node->log();
    const std::vector<User> users = logInMany(*node, "User", 6);
    ASSERT_TRUE(knownTo(*users.back().client, "User0"));

    // One pair of connections (the third is redis-cli's own), one node channel, one node in every claim.
    const Fields connections = linesOf(redis().command({"CLIENT", "LIST"}));
    EXPECT_EQ(connections.size(), 3u) << redis().command({"CLIENT", "LIST"});
    const Fields nodeChannels = linesOf(redis().command({"PUBSUB", "CHANNELS", "kovrel:*:node:*"}));
    ASSERT_EQ(nodeChannels.size(), 1u);
    const std::string nodeId = nodeChannels.front().substr(nodeChannels.front().rfind(':') + 1);
    const Fields claims = linesOf(redis().command({"KEYS", "kovrel:nick:*"}));
    EXPECT_EQ(claims.size(), users.size());
    for (const std::string& key : claims) {
        EXPECT_TRUE(redis().command({"GET", key}).starts_with(nodeId + "\n")) << key;
    }

    users.front().client->send({"AllUser|User0|to everybody"});
    for (const User& user : users) {
        EXPECT_EQ(chatLine(*user.client, "AllUser")[1], "AllUser|User0|to everybody");
    }
    users.back().client->send({"PrivatUser|User5|User0|to one"});
    EXPECT_EQ(chatLine(*users.front().client, "PrivatUser")[1], "PrivatUser|User5|User0|to one");

    node->signal(SIGTERM);
    for (const User& user : users) {
        EXPECT_EQ(user.client->expect("Disconnect"), "Disconnect|");
    }
    EXPECT_EQ(node->waitForExit(), 0) << node->log();
    // Every nick given back on the way out.
    EXPECT_TRUE(linesOf(redis().command({"KEYS", "kovrel:nick:*"})).empty()) << node->log();
}

TEST_F(ServerCluster, AccountsAddedThroughOneCommandAreHonouredByEveryNodeAndKeptWithoutTheirPasswords)
{
    const TemporaryDirectory certificate;
    const std::vector<std::string> tls = {"--tls-listen", "127.0.0.1:0", "--tls-dir", certificate.path()};
    const auto north = startNode(tls);
    const auto south = startNode(tls);
    const auto accounts = [this](const std::string& option, const std::string& nick) {
        std::vector<std::string> command = {KOVREL_SERVER_PATH, "--cluster", redis().url(), option};
        if (!nick.empty()) {
            command.push_back(nick);
        }
        return runProgram(command, "tr0ub4dor|" + nick + "\n");
    };
    for (const std::string nick : {"Vasya", "Petya"}) {
        const ProgramResult added = accounts("--add-account", nick);
        EXPECT_EQ(added.exitStatus, 0) << added.errors;
    }
    EXPECT_TRUE(knownOn(*north, "VASYA"));
    EXPECT_TRUE(knownOn(*south, "petya"));

    TestClient vasya(south->tlsPort(), TestClient::Tls{});
    vasya.send({"Auth|Vasya|tr0ub4dor|Vasya", "ExistUser|127.0.0.1"});
    EXPECT_EQ(vasya.readUntil("ExistUser|"), (Fields{"Auth|1", "ExistUser|-1"}));
    vasya.login("Vasya");
    TestClient old(north->port());
    EXPECT_EQ(tryLogin(old, "Petya"), "Disconnect|");
    const std::string kept = redis().command({"HGETALL", "kovrel:accounts"});
    EXPECT_EQ(kept.find("tr0ub4dor"), std::string::npos) << kept;
    EXPECT_NE(kept.find("$scrypt$ln=15,r=8,p=1$"), std::string::npos) << kept;

    const ProgramResult removed = accounts("--remove-account", "PETYA");
    EXPECT_EQ(removed.output, "removed the account of \"Petya\"\n") << removed.errors;
    TestClient asker(north->port());
    EXPECT_TRUE(eventuallyAnswers(asker, "ExistUser|Petya", "ExistUser|-1"));
    EXPECT_EQ(tryLogin(old, "Petya"), "AddUser|Petya");
    EXPECT_EQ(accounts("--list-accounts", {}).output, "Vasya\n");
}

TEST_F(ServerCluster, UsersOnFourThreadsOfTwoNodesChatAsOneRoomAndEveryLookAlikeIsRefused)
{
    const auto north = startNode({"--threads", "2"});
    const auto south = startNode({"--threads", "2"});
    const std::vector<User> northern = logInMany(*north, "North", 8);
    const std::vector<User> southern = logInMany(*south, "South", 8);
    for (const std::vector<User>* side : {&northern, &southern}) {
        for (const User& user : *side) {
            ASSERT_TRUE(knownTo(*northern.back().client, user.nick)) << user.nick;
            ASSERT_TRUE(knownTo(*southern.back().client, user.nick)) << user.nick;
        }
    }

    // Every line reaches every user once, whichever thread of which node sent it.
    for (const User* sender : {&northern[0], &northern[5], &southern[2], &southern[7]}) {
        const std::string line = "AllUser|" + sender->nick + "|from " + sender->nick;
        sender->client->send({line});
        for (const std::vector<User>* side : {&northern, &southern}) {
            for (const User& user : *side) {
                EXPECT_EQ(chatLine(*user.client, "AllUser")[1], line) << user.nick;
            }
        }
    }
    // Privately: to the other node, and to each user of the sender's own node.
    for (const User* to : {&southern[3], &northern[1], &northern[2], &northern[3], &northern[4]}) {
        const std::string line = "PrivatUser|North0|" + to->nick + "|to " + to->nick;
        northern[0].client->send({line});
        EXPECT_EQ(chatLine(*to->client, "PrivatUser")[1], line);
        EXPECT_EQ(chatLine(*northern[0].client, "PrivatUser")[1], line);
    }
    southern[6].client->send({"PrivatUser|South6|north7|back north"});
    EXPECT_EQ(chatLine(*northern[7].client, "PrivatUser")[1], "PrivatUser|South6|North7|back north");

    // Whichever thread takes these connections, on the user's node or the other.
    for (int attempt = 0; attempt < 4; ++attempt) {
        for (const ServerProcess* node : {north.get(), south.get()}) {
            TestClient impostor(node->port());
            // The "о" of the look-alike is Cyrillic.
            EXPECT_EQ(tryLogin(impostor, attempt % 2 ? "NORTH3" : cp1251::fromUtf8("Nоrth3")), "Disconnect|");
        }
    }
    EXPECT_TRUE(north->log().find("nick in use") != std::string::npos) << north->log();
    EXPECT_TRUE(south->log().find("nick in use") != std::string::npos) << south->log();
}

TEST_F(ServerCluster, TheBenchSpreadOverTwoNodesLosesNothingPubliclyOrPrivately)
{
    const auto north = startNode();
    const auto south = startNode();
    for (const bool privately : {false, true}) {
        std::vector<std::string> command = {KOVREL_BENCH_PATH,
                                            "--server",
                                            "127.0.0.1:" + std::to_string(north->port()),
                                            "--server",
                                            "127.0.0.1:" + std::to_string(south->port()),
                                            "--clients",
                                            "6",
                                            "--messages",
                                            "20"};
        if (privately) {
            command.push_back("--private");
        }
        const ProgramResult result = runProgram(command);
        EXPECT_EQ(result.exitStatus, 0) << result.output;
        const std::string deliveries = privately ? "deliveries 240, " : "deliveries 720, ";
        EXPECT_TRUE(result.output.starts_with("clients 6, sent 120, " + deliveries)) << result.output;
        EXPECT_NE(result.output.find("lost 0, corrupted 0"), std::string::npos) << result.output;
    }
}

TEST(ServerClusterLogIn, ANodeAuthenticatesWithThePasswordOfItsAddressOrOfItsEnvironment)
{
    if (!RedisProcess::executable()) {
        GTEST_SKIP() << "redis-server is not installed (scripts/install-deps installs it)";
    }
    const TemporaryDirectory folder;
    const RedisProcess redis(folder.path(), "s@cret");
    const std::string where = "127.0.0.1:" + std::to_string(redis.port());

    ServerProcess refused({"--cluster", "redis://:wrong@" + where});
    EXPECT_TRUE(refused.waitForLog("AUTH refused")) << refused.log();
    TestClient early(refused.port());
    EXPECT_EQ(tryLogin(early, "Early"), "Disconnect|");

    ServerProcess north({"--cluster", "redis://:s%40cret@" + where});
    ServerProcess west({"--cluster", "redis://default:s%40cret@" + where}); // as a named user
    ::setenv("KOVREL_REDIS_PASSWORD", "s@cret", 1);
    ServerProcess south({"--cluster", "redis://" + where});
    ::unsetenv("KOVREL_REDIS_PASSWORD");
    ASSERT_TRUE(north.waitForLog("roster read")) << north.log();
    ASSERT_TRUE(south.waitForLog("roster read")) << south.log();
    ASSERT_TRUE(west.waitForLog("roster read")) << west.log();
    TestClient vasya(north.port());
    vasya.login("Vasya");
    EXPECT_TRUE(knownOn(south, "Vasya"));
    EXPECT_EQ(north.log().find("s@cret"), std::string::npos);
    EXPECT_EQ(north.log().find("s%40cret"), std::string::npos);
}

} // namespace
} // namespace kovrel::server::test

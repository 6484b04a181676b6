// SPDX-License-Identifier: GPL-3.0-or-later
// The real kovrel-server serving on several threads: its clients land on different threads and still
// share one room, one set of nicks, one set of connection limits and one state database.

#include "server_process.h"
#include "test_client.h"

#include "cp1251.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <memory>

namespace kovrel::server::test {
namespace {

using Fields = std::vector<std::string>;
using Clients = std::vector<std::unique_ptr<TestClient>>;

const std::string kCard = "Ivan|Petrov|RU|Tver|N/A|N/A|N/A|ivan@example.org|http://|N/A|Tea";

// Enough clients that the kernel, sharing the connections out over the threads, puts some on each.
constexpr int kClients = 12;

std::string nickOf(int client)
{
    return "User" + std::to_string(client);
}

Clients logInMany(const ServerProcess& server, int count, std::string_view card = {})
{
    Clients clients;
    for (int i = 0; i < count; ++i) {
        clients.push_back(std::make_unique<TestClient>(server.port()));
        clients.back()->login(nickOf(i), card);
    }
    return clients;
}

TEST(ServerThreads, ClientsOnThreeThreadsTalkAsOneRoomAndTheServerStopsCleanly)
{
    ServerProcess server({"--threads", "3"});
    const Clients clients = logInMany(server, kClients);
    for (int i = 0; i < kClients; ++i) {
        ASSERT_TRUE(knownTo(*clients.back(), nickOf(i))) << nickOf(i);
    }
    TestClient newcomer(server.port());
    newcomer.send({"GetUser|Newcomer"});
    const Fields roster = newcomer.readUntil("GetUser|" + nickOf(kClients - 1));
    EXPECT_EQ(std::count_if(roster.begin(), roster.end(),
                            [](const std::string& field) { return field.starts_with("GetUser|"); }),
              kClients);

    clients.front()->send({"AllUser|User0|to everybody"});
    for (const auto& client : clients) {
        EXPECT_EQ(chatLine(*client, "AllUser")[1], "AllUser|User0|to everybody");
    }
    clients.back()->send({"PrivatUser|User11|user0|to one"});
    EXPECT_EQ(chatLine(*clients.front(), "PrivatUser")[1], "PrivatUser|User11|User0|to one");

    // Whichever thread takes these connections, the nicks are held for all of them.
    for (int attempt = 0; attempt < 4; ++attempt) {
        TestClient impostor(server.port());
        EXPECT_EQ(tryLogin(impostor, attempt % 2 ? "USER5" : cp1251::fromUtf8("Usеr5")), "Disconnect|");
    }

    server.signal(SIGTERM);
    for (const auto& client : clients) {
        EXPECT_EQ(client->expect("Disconnect"), "Disconnect|");
    }
    EXPECT_EQ(server.waitForExit(), 0) << server.log();
}

TEST(ServerThreads, TheConnectionLimitCountsForTheWholeServer)
{
    ServerProcess server({"--threads", "3", "--max-clients", "4"});
    const Clients clients = logInMany(server, 4);
    for (int attempt = 0; attempt < 4; ++attempt) {
        TestClient refused(server.port());
        EXPECT_TRUE(refused.readUntilClosed().empty());
    }
    clients.front()->close();
    ASSERT_TRUE(eventuallyAnswers(*clients.back(), "ExistUser|" + nickOf(0), "ExistUser|-1"));
    // The closing thread counts the connection out right after telling the other threads of the departure,
    // so a newcomer may be refused for a moment yet.
    std::unique_ptr<TestClient> admitted;
    for (int attempt = 0; attempt < 50 && !admitted; ++attempt) {
        auto candidate = std::make_unique<TestClient>(server.port());
        candidate->pump(std::chrono::milliseconds(200));
        if (!candidate->closed()) {
            admitted = std::move(candidate);
        }
    }
    ASSERT_TRUE(admitted) << "no connection admitted after one was closed";
    admitted->login("Admitted");
}

TEST(ServerThreads, TopicAndCardsPublishedOnEveryThreadSurviveARestart)
{
    const TemporaryDirectory folder;
    const std::string state = (folder.path() / "state").string();
    {
        ServerProcess server({"--threads", "2", "--state", state});
        Clients clients = logInMany(server, kClients, kCard);
        clients.back()->send({"Topic|Kept topic"});
        for (const auto& client : clients) {
            EXPECT_EQ(client->expect("Topic|"), "Topic|Kept topic");
        }
        clients.clear();
        server.signal(SIGTERM);
        EXPECT_EQ(server.waitForExit(), 0) << server.log();
    }
    ServerProcess server({"--threads", "2", "--state", state});
    TestClient reader(server.port());
    EXPECT_TRUE(contains(reader.login("Reader"), "Topic|Kept topic"));
    for (int i = 0; i < kClients; ++i) {
        reader.send({"GetInfo|" + nickOf(i)});
        EXPECT_EQ(reader.expect("GetInfo|"), "GetInfo|" + nickOf(i) + "|" + kCard);
    }
}

} // namespace
} // namespace kovrel::server::test

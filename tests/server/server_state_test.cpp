// SPDX-License-Identifier: GPL-3.0-or-later
// What the real kovrel-server keeps across restarts in its state database: the upgrade from the old state
// file, the bounds on cards, and writes that fail for a while or for good.

#include "server_process.h"
#include "test_client.h"

#include "state_database.h"
#include "state_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>

namespace kovrel::server::test {
namespace {

namespace fs = std::filesystem;
using Fields = std::vector<std::string>;

std::string contentOf(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// The card as another user asks for it.
std::string cardOf(unsigned short port, const std::string& nick)
{
    TestClient asker(port);
    asker.login("Asker");
    asker.send({"GetInfo|" + nick});
    return asker.expect("GetInfo|");
}

std::string topicAfterLogin(unsigned short port)
{
    TestClient client(port);
    for (const std::string& field : client.login("Reader")) {
        if (field.starts_with("Topic|")) {
            return field;
        }
    }
    return {};
}

// Polls the log for a line the server writes on its own schedule; the deadline only turns a hang into a
// failure.
bool waitForLog(const ServerProcess& server, std::string_view text)
{
    const auto deadline = std::chrono::steady_clock::now() + TestClient::kDeadline;
    while (server.log().find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void stop(ServerProcess& server, int expectedStatus = 0)
{
    server.signal(SIGTERM);
    EXPECT_EQ(server.waitForExit(), expectedStatus) << server.log();
}

class ServerState : public ::testing::Test
{
protected:
    std::vector<std::string> options(std::vector<std::string> more = {}) const
    {
        more.insert(more.begin(), {"--state", stateFile.string()});
        return more;
    }

    TemporaryDirectory folder;
    fs::path stateFile = folder.path() / "state";
};

TEST_F(ServerState, AnOldStateFileIsImportedOnceAndKeptAndNothingOfItIsLost)
{
    std::string everyByte;
    for (int c = 1; c < 256; ++c) {
        everyByte += c == '|' ? '_' : static_cast<char>(c);
    }
    const std::string oldFile =
        serializeKeptState({"old topic", {{"Vasya", "a|b|" + everyByte}, {"Petya", "c"}}});
    std::ofstream(stateFile, std::ios::binary) << oldFile;
    {
        ServerProcess server(options());
        EXPECT_EQ(cardOf(server.port(), "vasya"), "GetInfo|Vasya|a|b|" + everyByte);
        EXPECT_EQ(cardOf(server.port(), "Petya"), "GetInfo|Petya|c");
        TestClient kolya(server.port());
        kolya.login("Kolya", "k|o");
        kolya.send({"Topic|new topic"});
        kolya.expect("Topic|");
        stop(server);
        EXPECT_NE(server.log().find("state-imported"), std::string::npos);
    }
    EXPECT_EQ(contentOf(fs::path(stateFile) += ".imported"), oldFile);
    EXPECT_TRUE(StateDatabase::isDatabase(stateFile));

    ServerProcess again(options());
    EXPECT_EQ(topicAfterLogin(again.port()), "Topic|new topic");
    EXPECT_EQ(cardOf(again.port(), "Vasya"), "GetInfo|Vasya|a|b|" + everyByte);
    EXPECT_EQ(cardOf(again.port(), "Kolya"), "GetInfo|Kolya|k|o");
    EXPECT_EQ(again.log().find("state-imported"), std::string::npos);
}

TEST_F(ServerState, OneAddressKeepsItsNewestCardsAndOldCardsExpire)
{
    const auto now = std::chrono::system_clock::now();
    StateDatabase(stateFile).replaceAll(
        {"",
         {{"stale", {"Stale", "s", "10.0.0.9", secondsSinceEpoch(now - std::chrono::days(11))}, 1},
          {"fresh", {"Fresh", "f", "10.0.0.9", secondsSinceEpoch(now - std::chrono::days(9))}, 2}}});
    {
        ServerProcess server(options({"--max-cards-per-address", "3", "--card-days", "10"}));
        for (const char* nick : {"u1", "u2", "u3", "u4", "u5"}) {
            TestClient user(server.port());
            user.login(nick, std::string("card of ") + nick);
            user.logout(nick);
        }
        stop(server);
    }
    ServerProcess again(options({"--max-cards-per-address", "3", "--card-days", "10"}));
    for (const char* nick : {"u1", "u2", "Stale"}) {
        EXPECT_EQ(cardOf(again.port(), nick),
                  "GetInfo|" + std::string(nick) + "|N/A|N/A|N/A|N/A|N/A|N/A|N/A|N/A|N/A|N/A|N/A");
    }
    EXPECT_EQ(cardOf(again.port(), "u5"), "GetInfo|u5|card of u5");
    EXPECT_EQ(cardOf(again.port(), "u3"), "GetInfo|u3|card of u3");
    EXPECT_EQ(cardOf(again.port(), "Fresh"), "GetInfo|Fresh|f");
}

TEST_F(ServerState, ChangesMadeWhileTheStateFolderIsGoneAreWrittenOnceItIsBack)
{
    ServerProcess server(options());
    TestClient vasya(server.port());
    vasya.login("Vasya");
    const fs::path away = folder.path().string() + "-away";
    fs::rename(folder.path(), away);
    vasya.send({"Topic|while the folder was away"});
    vasya.expect("Topic|");
    EXPECT_TRUE(waitForLog(server, "state-not-saved"));
    fs::rename(away, folder.path());
    EXPECT_TRUE(waitForLog(server, "state-saved"));
    stop(server);

    ServerProcess again(options());
    EXPECT_EQ(topicAfterLogin(again.port()), "Topic|while the folder was away");
}

TEST_F(ServerState, AStateThatCannotBeSavedAtTheEndMakesTheExitStatusNonZero)
{
    ServerProcess server(options());
    TestClient vasya(server.port());
    vasya.login("Vasya");
    vasya.send({"Topic|first"});
    vasya.expect("Topic|");
    fs::remove_all(folder.path());
    vasya.send({"Topic|never saved"});
    vasya.expect("Topic|");
    stop(server, 1);
    EXPECT_NE(server.log().find("the state could not be saved"), std::string::npos);
}

} // namespace
} // namespace kovrel::server::test

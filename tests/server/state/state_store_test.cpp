// SPDX-License-Identifier: GPL-3.0-or-later
#include "state_store.h"

#include "state_database.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <unistd.h>

namespace kovrel::server {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class StateStoreTest : public ::testing::Test
{
protected:
    StateStoreTest() { fs::create_directories(directory); }
    ~StateStoreTest() override { fs::remove_all(directory); }

    fs::path directory = fs::temp_directory_path() / ("kovrel-store-test-" + std::to_string(::getpid()));
    fs::path file = directory / "state";
    std::ostringstream logText;
    EventLog log{logText, false};
};

StoredCard card(const std::string& nick, std::string fields, std::uint64_t order)
{
    return {nick, {nick, std::move(fields), "10.0.0.1", 1700000000}, order};
}

TEST_F(StateStoreTest, TheDatabaseKeepsEveryByteAndTheOrderOfTheCards)
{
    std::string everyByte;
    for (int c = 0; c < 256; ++c) {
        everyByte += static_cast<char>(c);
    }
    {
        StateDatabase database(file);
        const StateChange changes[] = {TopicChange{"first"}, card("b", everyByte, 7), card("a", "", 3),
                                       card("gone", "x", 4), CardRemoval{"gone"},     TopicChange{everyByte}};
        database.apply(changes);
    }
    EXPECT_EQ(StateDatabase(file).load(),
              (StoredState{everyByte, {card("a", "", 3), card("b", everyByte, 7)}}));
}

TEST_F(StateStoreTest, TheDatabaseIsTheServerUsersOnlyAndNoticesThatItsFileIsGone)
{
    StateDatabase database(file);
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(database.stillAtItsPath());
    fs::remove(file);
    EXPECT_FALSE(database.stillAtItsPath());
}

// The folder is removed with the database and made again, empty: the store writes the whole state anew.
TEST_F(StateStoreTest, AFolderMadeAgainEmptyGetsTheWholeStateWritten)
{
    const StoredState before{"topic", {card("a", "1", 1), card("b", "2", 2)}};
    auto database = std::make_unique<StateDatabase>(file);
    database->replaceAll(before);
    StateStore store(file, std::move(database), before, log);
    fs::remove_all(directory);
    store.cardStored(card("c", "3", 3));
    store.cardRemoved("a");
    fs::create_directories(directory);

    EXPECT_TRUE(store.finish(10s)) << logText.str();
    EXPECT_EQ(StateDatabase(file).load(), (StoredState{"topic", {card("b", "2", 2), card("c", "3", 3)}}));
}

TEST_F(StateStoreTest, FinishReportsAStateThatCouldNotBeSaved)
{
    StateStore store(file, std::make_unique<StateDatabase>(file), {}, log);
    fs::remove_all(directory);
    store.topicChanged("lost");
    EXPECT_FALSE(store.finish(300ms));
    EXPECT_NE(logText.str().find("state-not-saved"), std::string::npos);
}

} // namespace
} // namespace kovrel::server

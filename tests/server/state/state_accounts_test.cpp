// SPDX-License-Identifier: GPL-3.0-or-later
#include "state_accounts.h"

#include "cp1251.h"
#include "quick_account.h"
#include "state_database.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <unistd.h>

namespace kovrel::server::test {
namespace {

namespace fs = std::filesystem;

class StateAccountsTest : public ::testing::Test
{
protected:
    StateAccountsTest() { fs::create_directories(directory); }
    ~StateAccountsTest() override { fs::remove_all(directory); }

    fs::path directory = fs::temp_directory_path() / ("kovrel-accounts-test-" + std::to_string(::getpid()));
    fs::path file = directory / "state";
    std::ostringstream logText;
    EventLog log{logText, false};
};

TEST_F(StateAccountsTest, AccountsChangedBesideTheRunningServerAreSeenAtItsNextLookUp)
{
    StateDatabase administrator(file);
    StateAccounts server(file, log);
    EXPECT_FALSE(server.find("Vasya"));

    const Account vasya = quickAccount("Vasya", "secret");
    EXPECT_EQ(administrator.addAccount(vasya), std::nullopt);
    EXPECT_EQ(server.find("VASYA"), vasya);
    EXPECT_EQ(server.find(cp1251::fromUtf8("Vаsya")), vasya); // a Cyrillic а

    EXPECT_EQ(administrator.removeAccount("vasya"), "Vasya");
    EXPECT_FALSE(server.find("Vasya"));
    EXPECT_EQ(administrator.removeAccount("Vasya"), std::nullopt);
}

TEST_F(StateAccountsTest, ANickThatReadsLikeOneWithAnAccountGetsNone)
{
    StateDatabase database(file);
    EXPECT_EQ(database.addAccount(quickAccount("Vasya", "first")), std::nullopt);
    EXPECT_EQ(database.addAccount(quickAccount(cp1251::fromUtf8("VАSYА"), "second")), "Vasya");
    EXPECT_EQ(database.addAccount(quickAccount("Petya", "third")), std::nullopt);
    EXPECT_EQ(database.accounts(),
              (std::vector<Account>{quickAccount("Petya", "third"), quickAccount("Vasya", "first")}));
}

TEST_F(StateAccountsTest, TheAccountsStayWhenTheServerWritesItsStateWhole)
{
    StateDatabase database(file);
    database.addAccount(quickAccount("Vasya", "secret"));
    database.replaceAll(StoredState{"topic", {}});
    EXPECT_EQ(database.accounts(), std::vector<Account>{quickAccount("Vasya", "secret")});
}

} // namespace
} // namespace kovrel::server::test

// SPDX-License-Identifier: GPL-3.0-or-later
#include "accounts.h"

#include "cp1251.h"
#include "quick_account.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>

namespace kovrel::server::test {
namespace {

using Outcome = Accounts::Outcome;

class AccountChecks : public ::testing::Test
{
protected:
    AccountChecks() { book.replace({quickAccount("Vasya", "secret")}); }

    // Checks a password and waits for the outcome.
    Outcome check(const std::string& nick, const std::string& password,
                  const std::string& address = "10.0.0.7")
    {
        std::promise<Outcome> outcome;
        accounts.check(address, nick, password, [&outcome](Outcome result) { outcome.set_value(result); });
        std::future<Outcome> future = outcome.get_future();
        EXPECT_EQ(future.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        return future.get();
    }

    AccountCache book;
    Accounts accounts{book, 2};
};

TEST_F(AccountChecks, APasswordOpensItsNickAndEveryNickThatReadsLikeIt)
{
    EXPECT_EQ(check("Vasya", "secret"), Outcome::Accepted);
    EXPECT_EQ(check("VASYA", "secret"), Outcome::Accepted);
    EXPECT_EQ(check(cp1251::fromUtf8("Vаsуa"), "secret"), Outcome::Accepted); // Cyrillic а and у
    EXPECT_EQ(check("Vasya", "Secret"), Outcome::WrongPassword);
    EXPECT_EQ(check("Petya", "secret"), Outcome::NoAccount);
    EXPECT_TRUE(accounts.reserved("vasya"));
    EXPECT_FALSE(accounts.reserved("Petya"));
}

TEST_F(AccountChecks, AfterFiveFailuresAnAddressIsNotCheckedButOthersAre)
{
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(check("Vasya", "guess" + std::to_string(i)), Outcome::WrongPassword);
    }
    EXPECT_EQ(check("Petya", "secret"), Outcome::NoAccount); // counts too
    EXPECT_EQ(check("Vasya", "secret"), Outcome::TooManyFailures);
    EXPECT_EQ(check("Vasya", "secret", "10.0.0.8"), Outcome::Accepted);
}

TEST_F(AccountChecks, ChecksAskedForTogetherAreAllAnsweredAndNoneOnceStopped)
{
    constexpr int kChecks = 20;
    std::atomic<int> accepted = 0;
    std::promise<void> allDone;
    for (int i = 0; i < kChecks; ++i) {
        accounts.check("10.0.1." + std::to_string(i), "Vasya", "secret", [&](Outcome outcome) {
            if (outcome == Outcome::Accepted && ++accepted == kChecks) {
                allDone.set_value();
            }
        });
    }
    EXPECT_EQ(allDone.get_future().wait_for(std::chrono::seconds(20)), std::future_status::ready);

    accounts.stop();
    bool answered = false;
    accounts.check("10.0.0.7", "Vasya", "secret", [&answered](Outcome) { answered = true; });
    accounts.stop();
    EXPECT_FALSE(answered);
}

} // namespace
} // namespace kovrel::server::test

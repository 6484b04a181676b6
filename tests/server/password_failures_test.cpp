// SPDX-License-Identifier: GPL-3.0-or-later
#include "password_failures.h"

#include <gtest/gtest.h>

namespace kovrel::server {
namespace {

using namespace std::chrono_literals;
using Clock = PasswordFailures::Clock;

// Fails `count` checks from `address` at `at`.
void fail(PasswordFailures& failures, const std::string& address, int count, Clock::time_point at)
{
    for (int i = 0; i < count; ++i) {
        ASSERT_TRUE(failures.admit(address, at)) << "check " << i + 1;
        failures.settle(address, true, at);
    }
}

TEST(AccountFailures, FiveFailuresInAMinuteStopTheChecksUntilTheOldestIsAMinuteOld)
{
    PasswordFailures failures;
    const Clock::time_point start{1h};
    fail(failures, "10.0.0.7", 4, start);
    fail(failures, "10.0.0.7", 1, start + 30s);
    EXPECT_FALSE(failures.admit("10.0.0.7", start + 59s));
    // The first four are a minute old: four more may fail.
    fail(failures, "10.0.0.7", 4, start + 60s);
    EXPECT_FALSE(failures.admit("10.0.0.7", start + 61s));
    EXPECT_TRUE(failures.admit("10.0.0.7", start + 90s));
}

TEST(AccountFailures, AcceptedPasswordsDoNotCount)
{
    PasswordFailures failures;
    const Clock::time_point now{1h};
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(failures.admit("10.0.0.7", now));
        failures.settle("10.0.0.7", false, now);
    }
    EXPECT_EQ(failures.addresses(), 0u);
}

TEST(AccountFailures, ChecksUnderWayCountUntilTheyAreOver)
{
    PasswordFailures failures;
    const Clock::time_point now{1h};
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(failures.admit("10.0.0.7", now));
    }
    EXPECT_FALSE(failures.admit("10.0.0.7", now));
    failures.settle("10.0.0.7", false, now);
    EXPECT_TRUE(failures.admit("10.0.0.7", now));
}

TEST(AccountFailures, EachAddressCountsOnItsOwnAndIsForgottenAfterTheMinute)
{
    PasswordFailures failures;
    const Clock::time_point start{1h};
    fail(failures, "10.0.0.7", 5, start);
    fail(failures, "10.0.0.8", 2, start);
    EXPECT_FALSE(failures.admit("10.0.0.7", start));
    EXPECT_TRUE(failures.admit("10.0.0.8", start));
    failures.settle("10.0.0.8", false, start);
    EXPECT_EQ(failures.addresses(), 2u);

    // One more failure a minute later sweeps the others out.
    fail(failures, "10.0.0.9", 1, start + 60s);
    EXPECT_EQ(failures.addresses(), 1u);
}

} // namespace
} // namespace kovrel::server

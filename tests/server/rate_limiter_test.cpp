// SPDX-License-Identifier: GPL-3.0-or-later
#include "rate_limiter.h"

#include <gtest/gtest.h>

namespace kovrel::server {
namespace {

using namespace std::chrono_literals;

int allowedOf(RateLimiter& limiter, int attempts, RateLimiter::Clock::time_point at)
{
    int allowed = 0;
    for (int i = 0; i < attempts; ++i) {
        allowed += limiter.allow(at) ? 1 : 0;
    }
    return allowed;
}

TEST(RateLimiter, LetsABurstThroughThenTheSteadyRate)
{
    RateLimiter limiter(20, 40);
    const RateLimiter::Clock::time_point start{1h};
    EXPECT_EQ(allowedOf(limiter, 100, start), 40);
    EXPECT_EQ(allowedOf(limiter, 100, start + 100ms), 2);
    EXPECT_EQ(allowedOf(limiter, 100, start + 1100ms), 20);
    // A long pause refills the bucket, never beyond the burst.
    EXPECT_EQ(allowedOf(limiter, 100, start + 1h), 40);
}

TEST(RateLimiter, ASteadySenderBelowTheRateLosesNothing)
{
    RateLimiter limiter(20, 40);
    RateLimiter::Clock::time_point at{1h};
    for (int i = 0; i < 1000; ++i, at += 50ms) {
        ASSERT_TRUE(limiter.allow(at)) << i;
    }
}

// A byte budget: 1,000 bytes a second, bursts of 2,000.
TEST(RateLimiter, CountsCostsAndLetsADearerEventThroughOnlyOnAFullBucketInDebt)
{
    RateLimiter limiter(1000, 2000);
    const RateLimiter::Clock::time_point start{1h};
    EXPECT_TRUE(limiter.allow(start, 1500));
    EXPECT_FALSE(limiter.allow(start, 600));
    EXPECT_TRUE(limiter.allow(start, 500));

    EXPECT_FALSE(limiter.allow(start + 1s, 5000)); // 1,000 in the bucket
    EXPECT_TRUE(limiter.allow(start + 2s, 5000));  // full: through, 3,000 in debt
    EXPECT_FALSE(limiter.allow(start + 4s, 1));
    EXPECT_TRUE(limiter.allow(start + 5s + 10ms, 1));
}

TEST(RateLimiter, ARateOfZeroLimitsNothing)
{
    RateLimiter limiter(0, 0);
    EXPECT_EQ(allowedOf(limiter, 10000, RateLimiter::Clock::time_point{1h}), 10000);
}

TEST(RateLimiter, TimeGoingBackwardsGrantsNothing)
{
    RateLimiter limiter(20, 2);
    const RateLimiter::Clock::time_point start{1h};
    EXPECT_EQ(allowedOf(limiter, 5, start), 2);
    EXPECT_EQ(allowedOf(limiter, 5, start - 10s), 0);
}

} // namespace
} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
#include "idle_watch.h"

#include <gtest/gtest.h>

namespace kovrel::server {
namespace {

using namespace std::chrono_literals;
using Action = IdleWatch::Action;

TEST(IdleWatch, ProbesAfterOneSilentPeriodAndGivesUpAfterThree)
{
    const IdleWatch::Clock::time_point start{1h};
    const IdleWatch watch(60s, start);
    EXPECT_EQ(watch.tick(start + 59s), Action::None);
    EXPECT_EQ(watch.tick(start + 60s), Action::Probe);
    EXPECT_EQ(watch.tick(start + 179s), Action::Probe);
    EXPECT_EQ(watch.tick(start + 180s), Action::Close);
}

TEST(IdleWatch, AnythingHeardStartsTheSilenceAgain)
{
    const IdleWatch::Clock::time_point start{1h};
    IdleWatch watch(60s, start);
    watch.heard(start + 170s);
    EXPECT_EQ(watch.tick(start + 180s), Action::None);
    EXPECT_EQ(watch.tick(start + 240s), Action::Probe);
    EXPECT_EQ(watch.tick(start + 350s), Action::Close);
}

} // namespace
} // namespace kovrel::server

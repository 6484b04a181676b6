// SPDX-License-Identifier: GPL-3.0-or-later
#include "float_placement.h"

#include <gtest/gtest.h>

namespace kovrel {
namespace {

const QSize kStrip(132, 27);
const QRect kLeftScreen(0, 0, 1280, 800);
const QRect kRightScreen(1280, 0, 1920, 1080);

TEST(PlaceOnScreens, AWindowOnAScreenStaysWhereItWas)
{
    EXPECT_EQ(PlaceOnScreens(QRect({100, 200}, kStrip), {kLeftScreen}), QPoint(100, 200));
    EXPECT_EQ(PlaceOnScreens(QRect({2000, 900}, kStrip), {kLeftScreen, kRightScreen}), QPoint(2000, 900));
    EXPECT_EQ(PlaceOnScreens(QRect({1200, 790}, kStrip), {kLeftScreen}), QPoint(1200, 790))
        << "partly on the screen is still reachable";
}

TEST(PlaceOnScreens, AWindowOnARemovedMonitorComesBackWhollyInsideTheNearestScreen)
{
    EXPECT_EQ(PlaceOnScreens(QRect({2000, 900}, kStrip), {kLeftScreen}), QPoint(1280 - 132, 800 - 27));
    EXPECT_EQ(PlaceOnScreens(QRect({1500, 300}, kStrip), {kLeftScreen}), QPoint(1280 - 132, 300))
        << "only the coordinate that was off changes";
    EXPECT_EQ(PlaceOnScreens(QRect({-500, -100}, kStrip), {kLeftScreen, kRightScreen}), QPoint(0, 0));
    EXPECT_EQ(PlaceOnScreens(QRect({3500, 500}, kStrip), {kLeftScreen, kRightScreen}),
              QPoint(1280 + 1920 - 132, 500))
        << "the nearer of two screens";
}

TEST(PlaceOnScreens, WithoutScreensNothingMoves)
{
    EXPECT_EQ(PlaceOnScreens(QRect({5000, 5000}, kStrip), {}), QPoint(5000, 5000));
}

} // namespace
} // namespace kovrel

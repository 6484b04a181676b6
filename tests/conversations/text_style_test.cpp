// SPDX-License-Identifier: GPL-3.0-or-later
#include "text_style.h"

#include "settings_sandbox.h"

#include <gtest/gtest.h>

namespace kovrel {
namespace {

TEST(TextStyle, ReceivedHeightsAreClampedToReadableSizes)
{
    TextStyleValues values{204, 255, -2000, true, true, false, false, "Arial"};
    EXPECT_EQ(ReceivedTextStyle(values).height, -kMaxTextPixels);
    values.height = 1;
    EXPECT_EQ(ReceivedTextStyle(values).height, kMinTextPixels);
    values.height = 0;
    EXPECT_EQ(ReceivedTextStyle(values).height, 0);
    values.height = -13;
    const TextStyle style = ReceivedTextStyle(values);
    EXPECT_EQ(style.height, -13);
    EXPECT_EQ(style.name, "Arial");
    EXPECT_TRUE(style.bold && style.italic && !style.underline);
}

TEST(TextStyle, SavedSetsLoadBackAndMissingValuesKeepTheCurrentOnes)
{
    test::SettingsSandbox sandbox;
    const TextStyle current{"DejaVu Sans", 1, 0, -12, 9, true, true, false, false};
    const TextStyle nothingStored = LoadTextStyle("OutputAttr", current);
    EXPECT_EQ(nothingStored.name, "DejaVu Sans");
    EXPECT_EQ(nothingStored.height, -12);
    EXPECT_FALSE(nothingStored.bold) << "style flags are off unless stored on";

    const TextStyle chosen{"Курсив Тест", 204, 0x0000ff, -16, 12, false, true, true, true};
    SaveTextStyle("OutputAttr", chosen);
    EXPECT_EQ(LoadTextStyle("OutputAttr", current), chosen);
}

} // namespace
} // namespace kovrel

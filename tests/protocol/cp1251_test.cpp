// SPDX-License-Identifier: GPL-3.0-or-later
#include "cp1251.h"

#include <gtest/gtest.h>

namespace kovrel {
namespace {

TEST(Cp1251, ConvertsRussianTextBothWays)
{
    const std::string text = cp1251::fromUtf8("Привет, Ёжик! №1 «ok» €");
    EXPECT_EQ(text, "\xCF\xF0\xE8\xE2\xE5\xF2, \xA8\xE6\xE8\xEA! \xB9"
                    "1 \xABok\xBB \x88");
    EXPECT_EQ(cp1251::toUtf8(text), "Привет, Ёжик! №1 «ok» €");
}

TEST(Cp1251, EveryByteSurvivesARoundTrip)
{
    for (int byte = 1; byte < 256; ++byte) {
        const std::string one(1, static_cast<char>(byte));
        EXPECT_EQ(cp1251::fromUtf8(cp1251::toUtf8(one)), one) << "byte " << byte;
    }
}

TEST(Cp1251, UnmappableAndMalformedInputBecomesQuestionMarks)
{
    EXPECT_EQ(cp1251::fromUtf8("a中b😀c"), "a?b?c");
    EXPECT_EQ(cp1251::fromUtf8("x\xC3"), "x?");
    EXPECT_EQ(cp1251::fromUtf8("\xE0\x80\x80|\xC0\xAF"), "???|??")
        << "overlong forms never yield zero or '/'";
    EXPECT_EQ(cp1251::fromUtf8("\xED\xA0\x80"), "???") << "a lone surrogate";
}

TEST(Cp1251, ComparesWithoutRegardToLetterCase)
{
    const auto cp = [](const char* utf8) { return cp1251::fromUtf8(utf8); };
    EXPECT_TRUE(cp1251::equalsIgnoringCase(cp("ВАСЯ"), cp("вася")));
    EXPECT_TRUE(cp1251::equalsIgnoringCase(cp("Ёжик"), cp("ёЖИК")));
    EXPECT_TRUE(cp1251::equalsIgnoringCase(cp("ЇҐЄІЎЂЉЊЋЌЏЅЈ"), cp("їґєіўђљњћќџѕј")));
    EXPECT_TRUE(cp1251::equalsIgnoringCase("Nick", "nICK"));
    EXPECT_FALSE(cp1251::equalsIgnoringCase(cp("Вася"), cp("Васа")));
    EXPECT_FALSE(cp1251::equalsIgnoringCase("Nick", "Nick2"));
    EXPECT_EQ(cp1251::toLowerCase(cp("ЯША Ivanov")), cp("яша ivanov"));
}

} // namespace
} // namespace kovrel

// SPDX-License-Identifier: GPL-3.0-or-later
#include "message.h"

#include <gtest/gtest.h>

namespace kovrel {
namespace {

TEST(BuildMessage, JoinsCommandAndValues)
{
    EXPECT_EQ(BuildMessage("StateUser", {"Вася", "2"}), "StateUser|Вася|2");
    EXPECT_EQ(BuildMessage("TestConnection"), "TestConnection|");
    EXPECT_EQ(BuildMessage("Topic", {""}), "Topic|");
}

TEST(MessageValues, LastValueKeepsTheRest)
{
    MessageValues values("a|b|c|d");
    EXPECT_EQ(values.next(), "a");
    EXPECT_EQ(values.next(), "b");
    EXPECT_EQ(values.rest(), "c|d");

    // Fewer values than asked for: the missing ones are empty and the text stays the last value.
    MessageValues short_("only");
    EXPECT_EQ(short_.next(), "");
    EXPECT_EQ(short_.next(), "");
    EXPECT_EQ(short_.rest(), "only");
}

TEST(ParseInteger, ReadsDecimalAndHexadecimal)
{
    EXPECT_EQ(ParseInteger("0"), 0);
    EXPECT_EQ(ParseInteger("-13"), -13);
    EXPECT_EQ(ParseInteger("+7"), 7);
    EXPECT_EQ(ParseInteger("$1F"), 31);
    EXPECT_EQ(ParseInteger("0x1F"), 31);
    EXPECT_EQ(ParseInteger("$FFFFFFFF"), -1);
    EXPECT_EQ(ParseInteger("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseInteger("-$80000000"), INT32_MIN);
    EXPECT_EQ(ParseInteger("2147483647"), INT32_MAX);
}

TEST(ParseInteger, RefusesWhatIsNotANumber)
{
    for (const char* text :
         {"", "abc", "12a", " 5", "5 ", "--5", "+-5", "$", "0x", "2147483648", "$100000000", "1.5"}) {
        std::int32_t value = 0;
        EXPECT_FALSE(TryParseInteger(text, value)) << '"' << text << '"';
    }
    try {
        ParseInteger("abc");
        FAIL() << "no error";
    } catch (const ConversionError& error) {
        EXPECT_STREQ(error.what(), "'abc' is not a valid integer value");
    }
}

} // namespace
} // namespace kovrel

// SPDX-License-Identifier: GPL-3.0-or-later
#include "usage_error.h"

#include <gtest/gtest.h>

namespace kovrel {
namespace {

TEST(NumberOption, TakesANumberWithinItsRange)
{
    EXPECT_EQ(parseNumberOption("--clients", "1", 1, 10), 1);
    EXPECT_EQ(parseNumberOption("--clients", "10", 1, 10), 10);
    EXPECT_EQ(parseNumberOption<unsigned short>("the port", "65535", 0, 65535), 65535);
}

TEST(NumberOption, RefusesAnythingElseNamingTheOptionAndTheRange)
{
    for (const std::string_view text : {"", "0", "11", "-1", "5x", " 5", "five"}) {
        try {
            parseNumberOption("--clients", text, 1, 10);
            ADD_FAILURE() << '"' << text << "\" taken";
        } catch (const UsageError& error) {
            EXPECT_EQ(error.what(),
                      "--clients expects a number from 1 to 10, not \"" + std::string(text) + "\"");
        }
    }
}

} // namespace
} // namespace kovrel

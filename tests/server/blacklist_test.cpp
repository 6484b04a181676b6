// SPDX-License-Identifier: GPL-3.0-or-later
#include "blacklist.h"

#include <gtest/gtest.h>

#include <sstream>

namespace kovrel::server {
namespace {

Blacklist parse(const std::string& text)
{
    std::istringstream in(text);
    return Blacklist::parse(in, "blacklist.txt");
}

std::string errorOf(const std::string& text)
{
    try {
        parse(text);
    } catch (const Blacklist::BadFile& error) {
        return error.what();
    }
    return "no error";
}

TEST(Blacklist, ReadsAddressesSkippingCommentsAndBlankLines)
{
    const Blacklist blacklist = parse("# office printers\n10.0.0.5\n\n  10.0.0.6  # old laptop\r\n\t\n"
                                      "10.0.0.5\n#10.0.0.7\n");
    EXPECT_EQ(blacklist.size(), 2u);
    EXPECT_TRUE(blacklist.contains("10.0.0.5"));
    EXPECT_TRUE(blacklist.contains("10.0.0.6"));
    EXPECT_TRUE(blacklist.contains(0x0a000006u));
    EXPECT_FALSE(blacklist.contains("10.0.0.7"));
    EXPECT_FALSE(blacklist.contains("Vasya"));
}

TEST(Blacklist, NamesTheFirstBadLine)
{
    EXPECT_EQ(errorOf("10.0.0.5\n\n10.0.0.300\n"),
              "blacklist.txt:3: \"10.0.0.300\" is not a dotted IPv4 address");
    EXPECT_EQ(errorOf("# hosts\n10.0.0.5 10.0.0.6\n"),
              "blacklist.txt:2: \"10.0.0.5 10.0.0.6\" is not a dotted IPv4 address");
    EXPECT_EQ(errorOf("10.0.0.0/24\n"), "blacklist.txt:1: \"10.0.0.0/24\" is not a dotted IPv4 address");
}

TEST(Blacklist, AnEmptyFileBlocksNobody)
{
    EXPECT_EQ(parse("").size(), 0u);
    EXPECT_EQ(parse("# nothing yet\n").size(), 0u);
}

TEST(Blacklist, AMissingFileIsAnError)
{
    EXPECT_THROW(Blacklist::load("/nonexistent/blacklist.txt"), Blacklist::BadFile);
}

} // namespace
} // namespace kovrel::server

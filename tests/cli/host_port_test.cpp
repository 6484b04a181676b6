// SPDX-License-Identifier: GPL-3.0-or-later
#include "host_port.h"

#include <gtest/gtest.h>

#include <ostream>

namespace kovrel {

void PrintTo(const HostPort& parts, std::ostream* out)
{
    *out << '"' << parts.host << "\" : \"" << parts.port << '"';
}

namespace {

TEST(HostPort, SplitsAtTheLastColon)
{
    EXPECT_EQ(splitHostPort("127.0.0.1:4040"), (HostPort{"127.0.0.1", "4040"}));
    EXPECT_EQ(splitHostPort("chat.example:"), (HostPort{"chat.example", ""}));
    EXPECT_EQ(splitHostPort("host:port:1"), (HostPort{"host:port", "1"}));
}

TEST(HostPort, TakesTheBracketsOffAnIpv6Host)
{
    EXPECT_EQ(splitHostPort("[::1]:4040"), (HostPort{"::1", "4040"}));
    EXPECT_EQ(splitHostPort("[::]:0"), (HostPort{"::", "0"}));
    // Only a pair of brackets around the whole host is taken off.
    EXPECT_EQ(splitHostPort("[::1:4040"), (HostPort{"[::1", "4040"}));
}

TEST(HostPort, RefusesTextWithoutAColonOrAHost)
{
    for (const std::string_view text : {"", "4040", "127.0.0.1", ":4040", "[]:4040"}) {
        EXPECT_EQ(splitHostPort(text), std::nullopt) << text;
    }
}

} // namespace
} // namespace kovrel

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace kovrel::server {

// Where the cluster's Redis is, and how to log in to it: "redis://[[USER]:PASSWORD@]HOST:PORT[/DB]".
struct RedisAddress
{
    std::string host;
    unsigned short port = 6379;
    unsigned database = 0;
    // With a password, every connection authenticates first (AUTH; as USER when one is given).
    std::string user;
    std::string password;

    // For the log: the password shows as "***".
    std::string text() const;
};

// Throws UsageError when the text is not such an address.
RedisAddress parseRedisAddress(std::string_view text);

} // namespace kovrel::server

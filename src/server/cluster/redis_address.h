// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

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
    // The AUTH command that logs in with the password (as the user, when there is one); empty without a
    // password. Its values point into this address.
    std::vector<std::string_view> authCommand() const;
};

// Throws UsageError when the text is not such an address.
RedisAddress parseRedisAddress(std::string_view text);

} // namespace kovrel::server

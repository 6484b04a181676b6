// SPDX-License-Identifier: GPL-3.0-or-later
#include "redis_address.h"

#include <charconv>
#include <optional>

#include "host_port.h"
#include "usage_error.h"

namespace kovrel::server {

std::string RedisAddress::text() const
{
    const std::string login = password.empty() ? std::string() : user + ":***@";
    return "redis://" + login + host + ":" + std::to_string(port) + "/" + std::to_string(database);
}

std::vector<std::string_view> RedisAddress::authCommand() const
{
    if (password.empty()) {
        return {};
    }
    if (user.empty()) {
        return {"AUTH", password};
    }
    return {"AUTH", user, password};
}

namespace {

constexpr std::string_view kAddressForm = "redis://[[USER]:PASSWORD@]HOST:PORT[/DB]";

// The address with whatever stands before its last "@" shown as "***": an error message may end up in a
// log that others read.
std::string withoutLogIn(std::string_view text)
{
    const std::size_t start = text.find("://");
    const std::size_t at = text.rfind('@');
    if (start == std::string_view::npos || at == std::string_view::npos || at < start) {
        return std::string(text);
    }
    return std::string(text.substr(0, start + 3)) + "***" + std::string(text.substr(at));
}

[[noreturn]] void badAddress(std::string_view text)
{
    throw UsageError("expected " + std::string(kAddressForm) + ", not \"" + withoutLogIn(text) + "\"");
}

// A user name or password as URLs carry them: "%40" stands for "@", and so on.
std::string percentDecoded(std::string_view text, std::string_view whole)
{
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        unsigned char byte = 0;
        const char* digits = text.data() + i + 1;
        if (i + 2 >= text.size() || std::from_chars(digits, digits + 2, byte, 16).ptr != digits + 2) {
            badAddress(whole);
        }
        decoded += static_cast<char>(byte);
        i += 2;
    }
    return decoded;
}

} // namespace

RedisAddress parseRedisAddress(std::string_view text)
{
    constexpr std::string_view scheme = "redis://";
    if (!text.starts_with(scheme)) {
        badAddress(text);
    }
    std::string_view rest = text.substr(scheme.size());
    RedisAddress address;
    if (const std::size_t slash = rest.find('/'); slash != std::string_view::npos) {
        address.database = parseNumberOption<unsigned>("the Redis database", rest.substr(slash + 1), 0, 1000);
        rest = rest.substr(0, slash);
    }
    if (const std::size_t at = rest.rfind('@'); at != std::string_view::npos) {
        const std::string_view login = rest.substr(0, at);
        const std::size_t colon = login.find(':');
        if (colon == std::string_view::npos || colon + 1 == login.size()) {
            badAddress(text); // a user name without a password says nothing Redis can check
        }
        address.user = percentDecoded(login.substr(0, colon), text);
        address.password = percentDecoded(login.substr(colon + 1), text);
        rest = rest.substr(at + 1);
    }
    const std::optional<HostPort> parts = splitHostPort(rest);
    if (!parts) {
        badAddress(text);
    }
    address.host = parts->host;
    address.port = parseNumberOption<unsigned short>("the Redis port", parts->port, 1, 65535);
    return address;
}

} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string_view>

namespace kovrel {

struct HostPort
{
    std::string_view host;
    std::string_view port;

    friend bool operator==(const HostPort&, const HostPort&) = default;
};

// "HOST:PORT" split at its last colon, an IPv6 host's brackets taken off ("[::1]:4040"); nothing when
// there is no colon or no host. The port is left as text for the caller to check against its own range.
std::optional<HostPort> splitHostPort(std::string_view text);

} // namespace kovrel

// SPDX-License-Identifier: GPL-3.0-or-later
#include "host_port.h"

namespace kovrel {

std::optional<HostPort> splitHostPort(std::string_view text)
{
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view host = text.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    if (host.empty()) {
        return std::nullopt;
    }
    return HostPort{host, text.substr(colon + 1)};
}

} // namespace kovrel

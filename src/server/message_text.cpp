#include "message_text.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "cp1251.h"
#include "packet.h"

namespace kovrel::server {
namespace {

bool isControl(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
}

// Space and the Windows-1251 no-break space.
bool isBlank(char c)
{
    return c == ' ' || static_cast<unsigned char>(c) == 0xa0;
}

} // namespace

bool isValidNick(std::string_view nick)
{
    return !nick.empty() && nick.size() <= kMaxNickSize && !isBlank(nick.front()) && !isBlank(nick.back()) &&
           std::none_of(nick.begin(), nick.end(), [](char c) { return c == kSeparator || isControl(c); });
}

std::optional<std::uint32_t> parseDottedIpv4(std::string_view text)
{
    std::uint32_t address = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (!text.starts_with('.')) {
                return std::nullopt;
            }
            text.remove_prefix(1);
        }
        const std::size_t digits = std::min(text.find_first_not_of("0123456789"), text.size());
        unsigned octet = 0;
        if (digits == 0 || digits > 3 || (digits > 1 && text.front() == '0')) {
            return std::nullopt;
        }
        std::from_chars(text.data(), text.data() + digits, octet);
        if (octet > 255) {
            return std::nullopt;
        }
        address = address << 8 | octet;
        text.remove_prefix(digits);
    }
    return text.empty() ? std::optional(address) : std::nullopt;
}

bool fitsInField(std::string_view message)
{
    return message.size() <= kMaxFieldTextSize;
}

SharedBytes encodeShared(std::initializer_list<std::string_view> fields)
{
    return std::make_shared<const std::string>(BuildPacket(fields));
}

std::string printable(std::string_view text, std::size_t maxBytes)
{
    const bool cut = text.size() > maxBytes;
    std::string visible;
    for (char c : text.substr(0, maxBytes)) {
        if (isControl(c) || c == '\\') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
            visible += escaped;
        } else {
            visible += c;
        }
    }
    return cp1251::toUtf8(visible) + (cut ? "..." : "");
}

} // namespace kovrel::server

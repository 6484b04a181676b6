// SPDX-License-Identifier: GPL-3.0-or-later
#include "message_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <utility>

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

// Each byte of a lower-case nick and what it reads as. Capital В, К, М, Н and Т look Latin; lower case
// folds them into в, к, м, н and т, so those stand for them. "i", "і" and "1" read as "l" next to the
// capital "I" that lower case folds into "i".
const std::array<char, 256>& lookAlikes()
{
    static const std::array<char, 256> table = [] {
        std::array<char, 256> reads{};
        for (std::size_t byte = 0; byte < reads.size(); ++byte) {
            reads[byte] = static_cast<char>(byte);
        }
        const std::pair<const char*, char> kLookAlikes[] = {
            {"а", 'a'}, {"в", 'b'}, {"е", 'e'}, {"к", 'k'}, {"м", 'm'}, {"н", 'h'},
            {"о", 'o'}, {"р", 'p'}, {"с", 'c'}, {"т", 't'}, {"у", 'y'}, {"х", 'x'},
            {"і", 'l'}, {"ј", 'j'}, {"ѕ", 's'}, {"0", 'o'}, {"1", 'l'}, {"i", 'l'}};
        for (const auto& [utf8, latin] : kLookAlikes) {
            reads[static_cast<unsigned char>(cp1251::fromUtf8(utf8).front())] = latin;
        }
        return reads;
    }();
    return table;
}

} // namespace

bool isValidNick(std::string_view nick)
{
    return !nick.empty() && nick.size() <= kMaxNickSize && !isBlank(nick.front()) && !isBlank(nick.back()) &&
           std::none_of(nick.begin(), nick.end(), [](char c) { return c == kSeparator || isControl(c); }) &&
           !parseDottedIpv4(nick);
}

std::string nickSkeleton(std::string_view nick)
{
    std::string skeleton = cp1251::toLowerCase(nick);
    for (char& c : skeleton) {
        c = lookAlikes()[static_cast<unsigned char>(c)];
    }
    return skeleton;
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

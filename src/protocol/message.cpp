// SPDX-License-Identifier: GPL-3.0-or-later
#include "message.h"

#include "packet.h"

#include <charconv>

namespace kovrel {

namespace {

template <typename Values> std::string joinMessage(std::string_view command, const Values& values)
{
    std::string message(command);
    message += kSeparator;
    bool first = true;
    for (std::string_view value : values) {
        if (!first) {
            message += kSeparator;
        }
        message += value;
        first = false;
    }
    return message;
}

} // namespace

std::string BuildMessage(std::string_view command, std::initializer_list<std::string_view> values)
{
    return joinMessage(command, values);
}

std::string BuildMessage(std::string_view command, std::span<const std::string> values)
{
    return joinMessage(command, values);
}

std::string_view MessageValues::next()
{
    const SplitText split = SplitFirst(m_rest);
    m_rest = split.rest;
    return split.head;
}

namespace {

std::string conversionMessage(std::string_view text)
{
    std::string message = "'";
    message.append(text);
    message += "' is not a valid integer value";
    return message;
}

} // namespace

ConversionError::ConversionError(std::string_view text) : std::runtime_error(conversionMessage(text)) {}

bool TryParseInteger(std::string_view text, std::int32_t& value)
{
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.starts_with('$')) {
        text.remove_prefix(1);
        base = 16;
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty() || text.front() == '-' || text.front() == '+') {
        return false;
    }
    std::uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (error != std::errc() || end != text.data() + text.size()) {
        return false;
    }
    // Hexadecimal text names the 32 bits themselves ("$FFFFFFFF" is -1); decimal text must fit the range.
    if (base == 16 && magnitude <= UINT32_MAX) {
        const auto bits = static_cast<std::uint32_t>(magnitude);
        value = static_cast<std::int32_t>(negative ? 0u - bits : bits);
        return true;
    }
    const std::uint64_t limit = negative ? std::uint64_t{INT32_MAX} + 1 : std::uint64_t{INT32_MAX};
    if (magnitude > limit) {
        return false;
    }
    value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                     : static_cast<std::int32_t>(magnitude);
    return true;
}

std::int32_t ParseInteger(std::string_view text)
{
    std::int32_t value = 0;
    if (!TryParseInteger(text, value)) {
        throw ConversionError(text);
    }
    return value;
}

} // namespace kovrel

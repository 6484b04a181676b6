// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kovrel {

// Joins a command and its values with "|": BuildMessage("StateUser", {"Вася", "2"}) is "StateUser|Вася|2".
// A command without values still ends in "|".
std::string BuildMessage(std::string_view command, std::initializer_list<std::string_view> values = {});
std::string BuildMessage(std::string_view command, std::span<const std::string> values);

// Takes the values of a message from the left, one "|" at a time. Once no separator is left, every further
// value is empty and rest() keeps what was left: the last value of a message may hold "|" itself.
class MessageValues
{
public:
    explicit MessageValues(std::string_view values) : m_rest(values) {}

    std::string_view next();
    std::string_view rest() const { return m_rest; }

private:
    std::string_view m_rest;
};

// A value that must be a number and is not.
class ConversionError : public std::runtime_error
{
public:
    explicit ConversionError(std::string_view text);
};

// Reads a 32-bit integer as peers write it: optional sign, then decimal digits, or hexadecimal after "$" or
// "0x". Returns false for anything else, and for values out of range.
bool TryParseInteger(std::string_view text, std::int32_t& value);
// The same, throwing ConversionError ("'abc' is not a valid integer value").
std::int32_t ParseInteger(std::string_view text);

} // namespace kovrel

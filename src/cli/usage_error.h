// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <charconv>
#include <stdexcept>
#include <string>
#include <string_view>

// Command-line parsing shared by kovrel-server and kovrel-bench.
namespace kovrel {

// A command line the program cannot run with; the message says what is wrong.
class UsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The value of a numeric option, which must lie in [min, max].
template <typename Number>
Number parseNumberOption(std::string_view option, std::string_view text, Number min, Number max)
{
    Number value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < min || value > max) {
        throw UsageError(std::string(option) + " expects a number from " + std::to_string(min) + " to " +
                         std::to_string(max) + ", not \"" + std::string(text) + "\"");
    }
    return value;
}

} // namespace kovrel

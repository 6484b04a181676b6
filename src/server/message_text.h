// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "participant.h"

// Building and checking the texts that travel in fields.
namespace kovrel::server {

// Nicks are short: they appear in every roster and every line of the conversation.
inline constexpr std::size_t kMaxNickSize = 64;

// Not blank, no "|", no control characters, no blanks at either end (which would let "Vasya " pass for
// "Vasya"), at most kMaxNickSize bytes, and not a dotted IPv4 address (which "ExistUser" takes for an
// address, not a nick).
bool isValidNick(std::string_view nick);

// The nick as it reads, whatever letters spell it: lower case, with Cyrillic letters that look Latin, and
// digits that pass for letters, replaced by the Latin letter they look like. Two nicks with the same
// skeleton cannot be told apart on the screen.
std::string nickSkeleton(std::string_view nick);

// Four decimal numbers 0-255 joined by dots, nothing else.
std::optional<std::uint32_t> parseDottedIpv4(std::string_view text);

// True when the message can be framed: longer texts would overflow the five-digit length.
bool fitsInField(std::string_view message);

// Frames and enciphers the fields once, for any number of recipients.
SharedBytes encodeShared(std::initializer_list<std::string_view> fields);

// Makes a wire text (Windows-1251) printable in a UTF-8 log line: control characters become \xNN and
// long texts are cut.
std::string printable(std::string_view text, std::size_t maxBytes = 200);

} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <initializer_list>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kovrel {

// A framed field is five decimal digits giving the length of the encoded field, then the encoded field.
inline constexpr std::size_t kLengthPrefixSize = 5;
inline constexpr std::size_t kMaxEncodedFieldSize = 99999;
// The longest field text whose encoded form still fits the five-digit length.
inline constexpr std::size_t kMaxFieldTextSize = kMaxEncodedFieldSize / 9 * 8;
inline constexpr std::size_t kMaxFramedFieldSize = kLengthPrefixSize + kMaxEncodedFieldSize;
// ParsePacket takes at most this many fields out of one received text.
inline constexpr std::size_t kMaxFieldsPerRead = 1001;
inline constexpr char kSeparator = '|';

// Thrown before anything is sent when a field text is too long to be framed.
class FieldTooLong : public std::length_error
{
public:
    explicit FieldTooLong(std::size_t textSize);
};

// Appends one framed, enciphered field to `packet`.
void AppendFramedField(std::string& packet, std::string_view text);

std::string BuildPacket(std::initializer_list<std::string_view> fields);
std::string BuildPacket(std::span<const std::string> fields);

// Parses one received text as whole framed fields (at most kMaxFieldsPerRead). Stops at the first
// length prefix that is not a number; a field cut short by the end of the text is decoded as far as it
// goes. Keeps no state: see PacketReader for a byte stream.
std::vector<std::string> ParsePacket(std::string_view received);

// Where a packet goes: the client's socket, the server's sessions, a test's buffer.
class ByteSink
{
public:
    virtual ~ByteSink() = default;
    virtual void sendBytes(std::string_view bytes) = 0;
};

// Builds the packet and hands it to the sink in one call.
void SendPacket(ByteSink& sink, std::initializer_list<std::string_view> fields);

struct SplitText
{
    std::string_view head;
    std::string_view rest;

    friend bool operator==(const SplitText&, const SplitText&) = default;
};

// Splits at the first separator; without one, the head is empty and the rest is the whole text.
SplitText SplitFirst(std::string_view text);

} // namespace kovrel

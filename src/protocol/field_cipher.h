// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kovrel {

// A cipher group: eight enciphered bytes with every zero sent as 255, then the zero map byte.
inline constexpr std::size_t kCipherGroupSize = 9;
// The map byte of a group with no zero byte: it is never 0 either, so no encoded byte is ever zero.
inline constexpr unsigned char kNoZerosMap = 0xff;

// Every field on the wire is enciphered under this key, shared with every peer.
inline constexpr char kFieldKey[] = "58203716";

// The one block of text that the format cannot carry: it enciphers to eight zero bytes, whose group (nine
// 255 bytes, the map saying "all zeros" as 255) reads back as a group with no zeros. A text holding it at a
// multiple of eight bytes decodes into other bytes there; peers share the format, so it stays as it is.
inline constexpr char kUncarriedBlock[] = "\xdf\x27\xc6\x58\x4a\xf1\xfe\x20";

constexpr std::size_t EncodedFieldSize(std::size_t textSize)
{
    return (textSize + 7) / 8 * kCipherGroupSize;
}

// Enciphers a field text (single-byte text without zero bytes) into zero-free cipher groups.
std::string EncodeField(std::string_view text);

// Reverses EncodeField. Never fails: a trailing group shorter than nine bytes is padded with zeros, taken
// as having no zero map, deciphered and appended like any other, yielding meaningless text.
std::string DecodeField(std::string_view encoded);

} // namespace kovrel

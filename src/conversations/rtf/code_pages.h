// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>
#include <string_view>

// The single-byte code pages whose bytes RTF files carry as \'hh: the Cyrillic one the client writes and
// the Western one of Latin fonts.
namespace kovrel::rtf {

enum class CodePage
{
    Windows1251,
    Windows1252
};

// The code page of an \ansicpg number, or none when it is not one of ours.
std::optional<CodePage> codePageOfNumber(int number);
// The code page a font's \fcharset implies, or none when it leaves the document's.
std::optional<CodePage> codePageOfCharset(int charset);

void appendDecoded(QString& text, std::string_view bytes, CodePage codePage);

// The Windows-1251 byte of `c`, or none when Windows-1251 cannot hold it (its undefined byte 0x98
// included, which other programs would not read back).
std::optional<unsigned char> cp1251ByteOf(char16_t c);

} // namespace kovrel::rtf

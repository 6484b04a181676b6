// SPDX-License-Identifier: GPL-3.0-or-later
#include "code_pages.h"

#include "cp1251.h"

#include <array>
#include <string>

namespace kovrel::rtf {
namespace {

using UpperHalf = std::array<char16_t, 128>;

// The characters of the bytes 0x80 … 0xFF, taken from the protocol's own Windows-1251 converter.
UpperHalf makeCp1251UpperHalf()
{
    UpperHalf table{};
    for (unsigned byte = 0x80; byte <= 0xFF; ++byte) {
        const std::string utf8 = cp1251::toUtf8(std::string(1, static_cast<char>(byte)));
        table[byte - 0x80] =
            QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).at(0).unicode();
    }
    return table;
}

// Windows-1252 differs from Latin-1 only in 0x80 … 0x9F; its five undefined bytes stand for themselves.
constexpr std::array<char16_t, 32> kCp1252From80To9F = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr UpperHalf makeCp1252UpperHalf()
{
    UpperHalf table{};
    for (unsigned byte = 0x80; byte <= 0xFF; ++byte) {
        table[byte - 0x80] = byte < 0xA0 ? kCp1252From80To9F[byte - 0x80] : static_cast<char16_t>(byte);
    }
    return table;
}

const UpperHalf& upperHalfOf(CodePage codePage)
{
    static const UpperHalf cp1251 = makeCp1251UpperHalf();
    static constexpr UpperHalf cp1252 = makeCp1252UpperHalf();
    return codePage == CodePage::Windows1251 ? cp1251 : cp1252;
}

// Byte of every UTF-16 unit in Windows-1251; zero where it has none (U+0000 is ASCII and never looked up).
using ReverseTable = std::array<unsigned char, 0x10000>;

ReverseTable makeCp1251Reverse()
{
    constexpr unsigned char kUndefinedByte = 0x98;
    ReverseTable table{};
    const UpperHalf& upper = upperHalfOf(CodePage::Windows1251);
    for (unsigned byte = 0x80; byte <= 0xFF; ++byte) {
        if (byte != kUndefinedByte) {
            table[upper[byte - 0x80]] = static_cast<unsigned char>(byte);
        }
    }
    return table;
}

} // namespace

std::optional<CodePage> codePageOfNumber(int number)
{
    switch (number) {
    case 1251:
        return CodePage::Windows1251;
    case 1252:
        return CodePage::Windows1252;
    default:
        return std::nullopt;
    }
}

std::optional<CodePage> codePageOfCharset(int charset)
{
    constexpr int kAnsiCharset = 0;
    constexpr int kRussianCharset = 204;
    switch (charset) {
    case kAnsiCharset:
        return CodePage::Windows1252;
    case kRussianCharset:
        return CodePage::Windows1251;
    default:
        return std::nullopt;
    }
}

void appendDecoded(QString& text, std::string_view bytes, CodePage codePage)
{
    const UpperHalf& upper = upperHalfOf(codePage);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text.append(QChar(byte < 0x80 ? byte : upper[byte - 0x80]));
    }
}

std::optional<unsigned char> cp1251ByteOf(char16_t c)
{
    if (c < 0x80) {
        return static_cast<unsigned char>(c);
    }
    static const ReverseTable reverse = makeCp1251Reverse();
    const unsigned char byte = reverse[c];
    return byte == 0 ? std::nullopt : std::optional<unsigned char>(byte);
}

} // namespace kovrel::rtf

// SPDX-License-Identifier: GPL-3.0-or-later
#include "cp1251.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace kovrel::cp1251 {
namespace {

// Unicode code points of the bytes 0x80 … 0xFF; the undefined byte 0x98 stands for U+0098 so that every
// byte survives a round trip.
constexpr std::array<char32_t, 128> kUpperHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, 0x0410,
    0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D,
    0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A,
    0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444,
    0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

constexpr char32_t codePointOf(unsigned char byte)
{
    return byte < 0x80 ? byte : kUpperHalf[byte - 0x80];
}

// Lower case of the letters that Windows-1251 holds: Latin, the Russian alphabet and the other Cyrillic
// letters of the code page (Ё, Ђ … Џ, Ґ).
constexpr char32_t lowerCodePoint(char32_t c)
{
    if (c >= U'A' && c <= U'Z') {
        return c + 0x20;
    }
    if (c >= 0x0410 && c <= 0x042F) {
        return c + 0x20;
    }
    if (c >= 0x0400 && c <= 0x040F) {
        return c + 0x50;
    }
    if (c == 0x0490) {
        return 0x0491;
    }
    return c;
}

constexpr std::array<char, 256> makeLowerTable()
{
    std::array<char, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        const char32_t lower = lowerCodePoint(codePointOf(static_cast<unsigned char>(byte)));
        table[byte] = static_cast<char>(byte);
        for (unsigned candidate = 0; candidate < 256; ++candidate) {
            if (codePointOf(static_cast<unsigned char>(candidate)) == lower) {
                table[byte] = static_cast<char>(candidate);
                break;
            }
        }
    }
    return table;
}

constexpr std::array<char, 256> kLower = makeLowerTable();

char byteOf(char32_t codePoint)
{
    if (codePoint < 0x80) {
        return static_cast<char>(codePoint);
    }
    const auto found = std::find(kUpperHalf.begin(), kUpperHalf.end(), codePoint);
    return found == kUpperHalf.end() ? '?' : static_cast<char>(0x80 + (found - kUpperHalf.begin()));
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes one UTF-8 sequence at the front of `in` and removes it; malformed input yields U+FFFD and
// consumes one byte.
char32_t takeCodePoint(std::string_view& in)
{
    const auto lead = static_cast<unsigned char>(in[0]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    constexpr char32_t kReplacement = 0xFFFD;
    if (length == 0 || in.size() < length) {
        in.remove_prefix(1);
        return kReplacement;
    }
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(in[i]);
        if ((next & 0xC0) != 0x80) {
            in.remove_prefix(1);
            return kReplacement;
        }
        c = (c << 6) | (next & 0x3F);
    }
    constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        // Overlong forms and surrogates would smuggle in characters, zero among them.
        in.remove_prefix(1);
        return kReplacement;
    }
    in.remove_prefix(length);
    return c;
}

} // namespace

std::string fromUtf8(std::string_view utf8)
{
    std::string text;
    text.reserve(utf8.size());
    while (!utf8.empty()) {
        text += byteOf(takeCodePoint(utf8));
    }
    return text;
}

std::string toUtf8(std::string_view text)
{
    std::string utf8;
    utf8.reserve(text.size() * 2);
    for (char c : text) {
        appendUtf8(utf8, codePointOf(static_cast<unsigned char>(c)));
    }
    return utf8;
}

char toLower(char c)
{
    return kLower[static_cast<unsigned char>(c)];
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return toLower(x) == toLower(y); });
}

std::string toLowerCase(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), toLower);
    return lower;
}

} // namespace kovrel::cp1251

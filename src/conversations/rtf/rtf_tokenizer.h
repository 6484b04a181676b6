// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kovrel::rtf {

// Control word names are at most this long; longer runs of letters are read whole and cut to it.
inline constexpr std::size_t kMaxControlWordLength = 32;

struct Token
{
    enum class Kind
    {
        End,
        GroupOpen,
        GroupClose,
        ControlWord,
        ControlSymbol,
        HexBytes,
        Text
    };

    Kind kind = Kind::End;
    // The control word's name, the text's bytes, or the bytes of consecutive \'hh escapes (valid until
    // the next token is read).
    std::string_view text;
    bool hasParameter = false;
    // Clamped to 32 bits.
    int parameter = 0;
    // The character after the backslash of a control symbol.
    unsigned char symbol = 0;
};

// Cuts RTF into groups, control words, control symbols, text and runs of \'hh escapes. Raw line breaks and
// other control characters but tab are not text in RTF and are passed over; the data of \binN is skipped.
// Every token takes at least one byte, so the whole input costs time linear in its size.
class Tokenizer
{
public:
    explicit Tokenizer(std::string_view input) : m_input(input) {}

    Token next();

private:
    Token readControl();
    Token readControlWord();
    // The byte of a \'hh escape starting at `position`, if one does.
    std::optional<unsigned char> hexByteAt(std::size_t position) const;
    Token readHexBytes();
    Token readText();
    int readParameter(bool negative);
    bool atEnd() const { return m_position >= m_input.size(); }
    char peek() const { return m_input[m_position]; }

    std::string_view m_input;
    std::size_t m_position = 0;
    std::string m_hexBytes;
};

} // namespace kovrel::rtf

// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtf_tokenizer.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace kovrel::rtf {
namespace {

// "\'" and two hex digits.
constexpr std::size_t kEscapeSize = 4;

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

Token makeToken(Token::Kind kind, std::string_view text = {})
{
    Token token;
    token.kind = kind;
    token.text = text;
    return token;
}

Token makeSymbol(unsigned char symbol)
{
    Token token;
    token.kind = Token::Kind::ControlSymbol;
    token.symbol = symbol;
    return token;
}

bool isText(char c)
{
    return c != '\\' && c != '{' && c != '}' && (static_cast<unsigned char>(c) >= 0x20 || c == '\t');
}

} // namespace

Token Tokenizer::next()
{
    while (!atEnd()) {
        switch (peek()) {
        case '{':
            ++m_position;
            return makeToken(Token::Kind::GroupOpen);
        case '}':
            ++m_position;
            return makeToken(Token::Kind::GroupClose);
        case '\\':
            if (hexByteAt(m_position)) {
                return readHexBytes();
            }
            ++m_position;
            return readControl();
        default:
            if (isText(peek())) {
                return readText();
            }
            ++m_position;
        }
    }
    return {};
}

Token Tokenizer::readControl()
{
    if (atEnd()) {
        return {};
    }
    if (isLetter(peek())) {
        return readControlWord();
    }
    // "\'" without two hex digits after it ends up here, a symbol that means nothing.
    return makeSymbol(static_cast<unsigned char>(m_input[m_position++]));
}

Token Tokenizer::readControlWord()
{
    const std::size_t start = m_position;
    while (!atEnd() && isLetter(peek())) {
        ++m_position;
    }
    Token token = makeToken(Token::Kind::ControlWord,
                            m_input.substr(start, std::min(m_position - start, kMaxControlWordLength)));
    const bool negative =
        !atEnd() && peek() == '-' && m_position + 1 < m_input.size() && isDigit(m_input[m_position + 1]);
    if (negative || (!atEnd() && isDigit(peek()))) {
        m_position += negative ? 1 : 0;
        token.hasParameter = true;
        token.parameter = readParameter(negative);
    }
    if (!atEnd() && peek() == ' ') {
        ++m_position;
    }
    if (token.text == "bin" && token.parameter > 0) {
        m_position += std::min(static_cast<std::size_t>(token.parameter), m_input.size() - m_position);
    }
    return token;
}

// Digits beyond what 32 bits hold are read and the value clamped.
int Tokenizer::readParameter(bool negative)
{
    constexpr long long kMagnitudeLimit = 1LL << 31;
    long long magnitude = 0;
    while (!atEnd() && isDigit(peek())) {
        magnitude = std::min(magnitude * 10 + (peek() - '0'), kMagnitudeLimit);
        ++m_position;
    }
    return static_cast<int>(std::clamp<long long>(
        negative ? -magnitude : magnitude, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

std::optional<unsigned char> Tokenizer::hexByteAt(std::size_t position) const
{
    if (m_input.size() - position < kEscapeSize || m_input[position] != '\\' ||
        m_input[position + 1] != '\'') {
        return std::nullopt;
    }
    const char* digits = m_input.data() + position + 2;
    unsigned char byte = 0;
    const auto [end, error] = std::from_chars(digits, digits + 2, byte, 16);
    return error == std::errc() && end == digits + 2 ? std::optional<unsigned char>(byte) : std::nullopt;
}

// A word in a single-byte code page is a run of \'hh escapes: one token for all of them.
Token Tokenizer::readHexBytes()
{
    m_hexBytes.clear();
    while (const auto byte = hexByteAt(m_position)) {
        m_hexBytes += static_cast<char>(*byte);
        m_position += kEscapeSize;
    }
    return makeToken(Token::Kind::HexBytes, m_hexBytes);
}

Token Tokenizer::readText()
{
    const std::size_t start = m_position;
    while (!atEnd() && isText(peek())) {
        ++m_position;
    }
    return makeToken(Token::Kind::Text, m_input.substr(start, m_position - start));
}

} // namespace kovrel::rtf

// SPDX-License-Identifier: GPL-3.0-or-later
#include "document_builder.h"

#include <algorithm>
#include <utility>

namespace kovrel::rtf {
namespace {

// \b, \b1 and \b2 switch on; \b0 switches off.
bool switchedOn(const Token& token)
{
    return !token.hasParameter || token.parameter != 0;
}

// RTF writes UTF-16 units above 32767 as negative numbers.
char16_t unicodeUnit(int parameter)
{
    const long long unit = parameter < 0 ? parameter + 0x10000LL : parameter;
    return unit >= 0 && unit <= 0xFFFF ? static_cast<char16_t>(unit) : u'\uFFFD';
}

} // namespace

void DocumentBuilder::take(const Token& token)
{
    switch (token.kind) {
    case Token::Kind::GroupOpen:
        m_pendingFallback = 0;
        openGroup();
        return;
    case Token::Kind::GroupClose:
        m_pendingFallback = 0;
        closeGroup();
        return;
    case Token::Kind::Text:
        takeText(token.text, TextKind::Raw);
        return;
    case Token::Kind::HexBytes:
        takeText(token.text, TextKind::Escaped);
        return;
    case Token::Kind::End:
        return;
    case Token::Kind::ControlWord:
    case Token::Kind::ControlSymbol:
        break;
    }
    if (skipFallback() || group().destination == Destination::Skipped) {
        return;
    }
    if (token.kind == Token::Kind::ControlWord) {
        takeControlWord(token);
    } else {
        takeControlSymbol(token.symbol);
    }
}

Document DocumentBuilder::takeDocument()
{
    if (!m_line.runs.empty()) {
        endLine();
    }
    return std::move(m_document);
}

void DocumentBuilder::openGroup()
{
    if (m_groups.size() > kMaxGroupDepth) {
        ++m_flattenedGroups;
        return;
    }
    GroupState inner = group();
    inner.opening = true;
    inner.starred = false;
    m_groups.push_back(inner);
}

void DocumentBuilder::closeGroup()
{
    if (m_flattenedGroups > 0) {
        --m_flattenedGroups;
        return;
    }
    if (group().destination == Destination::FontTable) {
        m_fonts.endEntry();
    }
    if (m_groups.size() > 1) {
        m_groups.pop_back();
    }
    m_finished = m_groups.size() == 1;
    formatChanged();
}

void DocumentBuilder::takeControlWord(const Token& token)
{
    GroupState& state = group();
    if (std::exchange(state.opening, false)) {
        if (const auto destination = destinationOf(token.text)) {
            state.destination = *destination;
            return;
        }
        if (state.starred) {
            state.destination = Destination::Skipped;
            return;
        }
    }
    const WordMeaning meaning = meaningOf(token.text);
    switch (meaning.action) {
    case WordAction::Unicode:
        putCharacter(unicodeUnit(token.parameter));
        m_pendingFallback = state.unicodeSkip;
        return;
    case WordAction::UnicodeSkip:
        state.unicodeSkip = std::max(token.parameter, 0);
        return;
    case WordAction::Character:
        putCharacter(meaning.character);
        return;
    case WordAction::EndLine:
        if (state.destination == Destination::Text) {
            endLine();
        }
        return;
    default:
        break;
    }
    if (state.destination == Destination::Text) {
        takeTextWord(meaning.action, token);
    } else {
        takeTableWord(meaning.action, token);
    }
}

void DocumentBuilder::takeTextWord(WordAction action, const Token& token)
{
    CharacterFormat& format = group().format;
    switch (action) {
    case WordAction::Font:
        format.font = token.parameter;
        break;
    case WordAction::FontSize:
        format.halfPoints = std::clamp(token.hasParameter ? token.parameter : kPlainHalfPoints,
                                       kMinHalfPoints, kMaxHalfPoints);
        break;
    case WordAction::Color:
        format.color = token.parameter;
        break;
    case WordAction::Bold:
        format.bold = switchedOn(token);
        break;
    case WordAction::Italic:
        format.italic = switchedOn(token);
        break;
    case WordAction::Underline:
        format.underline = switchedOn(token);
        break;
    case WordAction::UnderlineOff:
        format.underline = false;
        break;
    case WordAction::Strikeout:
        format.strikeout = switchedOn(token);
        break;
    case WordAction::Plain:
        format = CharacterFormat{};
        format.font = m_defaultFont;
        break;
    case WordAction::DefaultFont:
        m_defaultFont = token.parameter;
        format.font = token.parameter;
        break;
    case WordAction::CodePage:
        // A code page we cannot read leaves Windows-1251, the client's own.
        m_codePage = codePageOfNumber(token.parameter).value_or(m_codePage);
        break;
    default:
        return;
    }
    formatChanged();
}

void DocumentBuilder::takeTableWord(WordAction action, const Token& token)
{
    if (group().destination == Destination::FontTable) {
        if (action == WordAction::Font) {
            m_fonts.beginEntry(token.parameter);
        } else if (action == WordAction::FontCharset) {
            m_fonts.setCharset(token.parameter);
        }
        return;
    }
    if (action == WordAction::Red) {
        m_colors.setRed(token.parameter);
    } else if (action == WordAction::Green) {
        m_colors.setGreen(token.parameter);
    } else if (action == WordAction::Blue) {
        m_colors.setBlue(token.parameter);
    }
}

void DocumentBuilder::takeControlSymbol(unsigned char symbol)
{
    if (symbol == '*') {
        group().starred = true;
        return;
    }
    group().opening = false;
    if (symbol == '\n' || symbol == '\r') {
        // A backslash before a raw line break is an old spelling of \par.
        if (group().destination == Destination::Text) {
            endLine();
        }
    } else if (const auto c = characterOfSymbol(symbol)) {
        putCharacter(*c);
    }
}

// Each byte counts as one fallback character of \uN.
void DocumentBuilder::takeText(std::string_view bytes, TextKind kind)
{
    const std::size_t skipped = std::min(static_cast<std::size_t>(m_pendingFallback), bytes.size());
    m_pendingFallback -= static_cast<int>(skipped);
    bytes.remove_prefix(skipped);
    if (bytes.empty() || group().destination == Destination::Skipped) {
        return;
    }
    group().opening = false;
    if (group().destination == Destination::Text) {
        appendDecoded(runText(), bytes, currentCodePage());
    } else if (kind == TextKind::Raw) {
        takeTableText(bytes);
    } else {
        putTableText(bytes);
    }
}

// In the tables a semicolon ends an entry, unless written as \'3b.
void DocumentBuilder::takeTableText(std::string_view bytes)
{
    for (;;) {
        const std::size_t end = bytes.find(';');
        putTableText(bytes.substr(0, end));
        if (end == std::string_view::npos) {
            return;
        }
        if (group().destination == Destination::FontTable) {
            m_fonts.endEntry();
        } else {
            m_colors.endEntry();
        }
        bytes.remove_prefix(end + 1);
    }
}

// Only font names are text in the tables.
void DocumentBuilder::putTableText(std::string_view bytes)
{
    if (group().destination == Destination::FontTable) {
        QString name;
        appendDecoded(name, bytes, currentCodePage());
        m_fonts.appendToFace(name);
    }
}

void DocumentBuilder::putCharacter(char16_t c)
{
    switch (group().destination) {
    case Destination::Text:
        runText().append(QChar(c));
        break;
    case Destination::FontTable:
        m_fonts.appendToFace(QStringView(&c, 1));
        break;
    case Destination::ColorTable:
    case Destination::Skipped:
        break;
    }
}

void DocumentBuilder::endLine()
{
    m_document.lines.push_back(std::move(m_line));
    m_line = Line{};
    m_lastRunCurrent = false;
}

bool DocumentBuilder::skipFallback()
{
    if (m_pendingFallback == 0) {
        return false;
    }
    --m_pendingFallback;
    return true;
}

// The text of the run in the current attributes: the last run while nothing changed since it was chosen,
// or when its attributes are equal, else a new run. Only called when at least one character follows, so
// that no run stays empty.
QString& DocumentBuilder::runText()
{
    if (!m_lastRunCurrent) {
        const Attributes& attributes = currentAttributes();
        if (m_line.runs.empty() || m_line.runs.back().attributes != attributes) {
            m_line.runs.push_back(Run{QString(), attributes});
        }
        m_lastRunCurrent = true;
    }
    return m_line.runs.back().text;
}

void DocumentBuilder::formatChanged()
{
    m_attributesStale = true;
    m_lastRunCurrent = false;
}

const Attributes& DocumentBuilder::currentAttributes()
{
    if (m_attributesStale) {
        const CharacterFormat& format = group().format;
        const Font* font = m_fonts.find(format.font);
        m_attributes = Attributes{font ? font->face : QString(),
                                  font ? font->charset : kDefaultCharset,
                                  m_colors.color(format.color),
                                  format.halfPoints,
                                  format.bold,
                                  format.italic,
                                  format.underline,
                                  format.strikeout};
        m_textCodePage = codePageOfCharset(m_attributes.charset).value_or(m_codePage);
        m_attributesStale = false;
    }
    return m_attributes;
}

CodePage DocumentBuilder::currentCodePage()
{
    if (group().destination == Destination::FontTable) {
        return codePageOfCharset(m_fonts.entryCharset()).value_or(m_codePage);
    }
    currentAttributes();
    return m_textCodePage;
}

} // namespace kovrel::rtf

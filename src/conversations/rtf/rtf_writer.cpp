// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtf_document.h"

#include "code_pages.h"
#include "rtf_format.h"

#include <charconv>
#include <cstdint>
#include <map>
#include <utility>

// The file: a header naming Windows-1251, a font table with one entry per face and character set, a colour
// table with one entry per colour (after the automatic colour RTF keeps first), then "\uc1\pard\plain" and
// the lines, each ended by \par. Before each run only the control words whose value differs from the run
// before are written (from the state \plain leaves), so a log in one style costs a few bytes a line.
// Characters Windows-1251 holds are written as \'hh, the others as \uN with "?" for older readers; in a font
// of another character set (0, Western; 238, Central European …) readers take \'hh in that set's code page,
// so there every character beyond ASCII is written as \uN.
namespace kovrel::rtf {
namespace {

// Distinct keys numbered in the order of their first appearance, so that the output is deterministic.
template <typename Key> class Catalogue
{
public:
    void add(const Key& key) { m_numbers.try_emplace(key, static_cast<int>(m_numbers.size())); }
    int numberOf(const Key& key) const { return m_numbers.at(key); }
    std::vector<Key> keysInOrder() const
    {
        std::vector<Key> keys(m_numbers.size());
        for (const auto& [key, number] : m_numbers) {
            keys[static_cast<std::size_t>(number)] = key;
        }
        return keys;
    }

private:
    std::map<Key, int> m_numbers;
};

using FontKey = std::pair<QString, int>;

FontKey fontOf(const Attributes& attributes)
{
    return {attributes.face, attributes.charset};
}

quint32 colorOf(const Attributes& attributes)
{
    return attributes.rgb & 0xFFFFFF;
}

class RtfWriter
{
public:
    explicit RtfWriter(const Document& document);
    std::string take() { return std::move(m_out); }

private:
    void writeFontTable(const std::vector<FontKey>& fonts);
    void writeColorTable(const std::vector<quint32>& colors);
    void writeRun(const Run& run);
    void writeFormatChanges(const CharacterFormat& format);
    void writeSwitch(std::string_view word, bool now, bool before, std::string_view offWord);
    void useCharset(int charset);
    void writeText(QStringView text);
    void writeCharacter(char16_t c);
    void writeWord(std::string_view word);
    void writeWord(std::string_view word, int parameter);
    void writeLiteral(char c);
    void writeHexByte(unsigned char byte);

    std::string m_out;
    // A control word was written last: a letter, digit, blank or hyphen after it needs a blank between.
    bool m_wordOpen = false;
    // Whether \'hh is read in Windows-1251 in the font being written.
    bool m_hexInCp1251 = true;
    Catalogue<FontKey> m_fonts;
    Catalogue<quint32> m_colors;
    CharacterFormat m_written;
};

RtfWriter::RtfWriter(const Document& document)
{
    std::size_t characters = 0;
    for (const Line& line : document.lines) {
        for (const Run& run : line.runs) {
            if (!run.text.isEmpty()) {
                m_fonts.add(fontOf(run.attributes));
                m_colors.add(colorOf(run.attributes));
                characters += static_cast<std::size_t>(run.text.size());
            }
        }
    }
    // Enough for Cyrillic text (\'hh, four bytes a letter), each line's \par and a few formatting words,
    // and the tables, so that a long page is not copied while it grows.
    constexpr std::size_t kBytesPerCharacter = 4;
    constexpr std::size_t kBytesPerLine = 8;
    constexpr std::size_t kBytesForTables = 4096;
    m_out.reserve(kBytesPerCharacter * characters + kBytesPerLine * document.lines.size() + kBytesForTables);
    m_out += "{\\rtf1\\ansi\\ansicpg1251\\deff0\n";
    writeFontTable(m_fonts.keysInOrder());
    writeColorTable(m_colors.keysInOrder());
    writeWord("\\uc1");
    writeWord("\\pard");
    writeWord("\\plain");
    writeLiteral('\n');
    for (const Line& line : document.lines) {
        for (const Run& run : line.runs) {
            writeRun(run);
        }
        writeWord("\\par");
        writeLiteral('\n');
    }
    writeLiteral('}');
}

void RtfWriter::writeFontTable(const std::vector<FontKey>& fonts)
{
    writeLiteral('{');
    writeWord("\\fonttbl");
    for (std::size_t number = 0; number < fonts.size(); ++number) {
        writeLiteral('{');
        writeWord("\\f", static_cast<int>(number));
        writeWord("\\fnil");
        writeWord("\\fcharset", fonts[number].second);
        useCharset(fonts[number].second);
        // A semicolon would end the entry early.
        for (const QChar c : fonts[number].first) {
            if (c == u';') {
                writeHexByte(';');
            } else {
                writeCharacter(c.unicode());
            }
        }
        writeLiteral(';');
        writeLiteral('}');
    }
    writeLiteral('}');
    writeLiteral('\n');
}

void RtfWriter::writeColorTable(const std::vector<quint32>& colors)
{
    writeLiteral('{');
    writeWord("\\colortbl");
    writeLiteral(';');
    for (const quint32 rgb : colors) {
        writeWord("\\red", static_cast<int>(rgb >> 16));
        writeWord("\\green", static_cast<int>((rgb >> 8) & 0xFF));
        writeWord("\\blue", static_cast<int>(rgb & 0xFF));
        writeLiteral(';');
    }
    writeLiteral('}');
    writeLiteral('\n');
}

void RtfWriter::writeRun(const Run& run)
{
    if (run.text.isEmpty()) {
        return;
    }
    const Attributes& attributes = run.attributes;
    writeFormatChanges({m_fonts.numberOf(fontOf(attributes)), attributes.halfPoints,
                        kFirstColor + m_colors.numberOf(colorOf(attributes)), attributes.bold,
                        attributes.italic, attributes.underline, attributes.strikeout});
    useCharset(attributes.charset);
    writeText(run.text);
}

void RtfWriter::writeFormatChanges(const CharacterFormat& format)
{
    if (format.font != m_written.font) {
        writeWord("\\f", format.font);
    }
    if (format.halfPoints != m_written.halfPoints) {
        writeWord("\\fs", format.halfPoints);
    }
    if (format.color != m_written.color) {
        writeWord("\\cf", format.color);
    }
    writeSwitch("\\b", format.bold, m_written.bold, "\\b0");
    writeSwitch("\\i", format.italic, m_written.italic, "\\i0");
    writeSwitch("\\ul", format.underline, m_written.underline, "\\ulnone");
    writeSwitch("\\strike", format.strikeout, m_written.strikeout, "\\strike0");
    m_written = format;
}

void RtfWriter::writeSwitch(std::string_view word, bool now, bool before, std::string_view offWord)
{
    if (now != before) {
        writeWord(now ? word : offWord);
    }
}

void RtfWriter::useCharset(int charset)
{
    // A font of the default character set is read in the reader's own default, which need not be Windows-1251
    // (LibreOffice takes its locale's): only a Cyrillic font carries Windows-1251 bytes.
    m_hexInCp1251 = codePageOfCharset(charset) == CodePage::Windows1251;
}

void RtfWriter::writeText(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        switch (c) {
        case u'\\':
        case u'{':
        case u'}':
            writeLiteral('\\');
            writeLiteral(static_cast<char>(c));
            break;
        case u'\t':
            writeWord("\\tab");
            break;
        case u'\r':
            if (i + 1 < text.size() && text[i + 1] == u'\n') {
                ++i;
            }
            writeWord("\\line");
            break;
        case u'\n':
            writeWord("\\line");
            break;
        default:
            writeCharacter(c);
        }
    }
}

// One UTF-16 unit: a character outside the Basic Multilingual Plane comes as two, each written as \uN,
// so that the reader puts the surrogate pair together again.
void RtfWriter::writeCharacter(char16_t c)
{
    if (c >= 0x20 && c < 0x80) {
        writeLiteral(static_cast<char>(c));
        return;
    }
    if (const auto byte = cp1251ByteOf(c); byte && (c < 0x80 || m_hexInCp1251)) {
        writeHexByte(*byte);
    } else {
        writeWord("\\u", static_cast<std::int16_t>(c));
        writeLiteral('?');
    }
}

void RtfWriter::writeWord(std::string_view word)
{
    m_out += word;
    m_wordOpen = true;
}

void RtfWriter::writeWord(std::string_view word, int parameter)
{
    m_out += word;
    char digits[16];
    const auto result = std::to_chars(std::begin(digits), std::end(digits), parameter);
    m_out.append(digits, result.ptr);
    m_wordOpen = true;
}

void RtfWriter::writeLiteral(char c)
{
    const bool continuesWord =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || c == '-';
    if (m_wordOpen && continuesWord) {
        m_out += ' ';
    }
    m_out += c;
    m_wordOpen = false;
}

void RtfWriter::writeHexByte(unsigned char byte)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    m_out += "\\'";
    m_out += kDigits[byte >> 4];
    m_out += kDigits[byte & 0xF];
    m_wordOpen = false;
}

} // namespace

std::string WriteRtf(const Document& document)
{
    return RtfWriter(document).take();
}

} // namespace kovrel::rtf

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "code_pages.h"
#include "rtf_document.h"
#include "rtf_format.h"
#include "rtf_tables.h"
#include "rtf_tokenizer.h"
#include "rtf_vocabulary.h"

#include <cstddef>
#include <vector>

namespace kovrel::rtf {

// Groups nest at most this deep; the braces of deeper groups are counted but their content joins the
// group at this depth, so hostile nesting costs neither memory nor stack.
inline constexpr std::size_t kMaxGroupDepth = 256;

// Builds the lines of a document from the tokens of an RTF file. \par (and \sect, \row) end a line;
// \line stays inside it as a line break, so that a run written with one reads back the same. Character
// formatting and the \uc count belong to the group they are set in and end with it.
class DocumentBuilder
{
public:
    void take(const Token& token);
    // The outermost group is closed: whatever follows is not part of the document.
    bool finished() const { return m_finished; }
    Document takeDocument();

private:
    struct GroupState
    {
        Destination destination = Destination::Text;
        CharacterFormat format;
        // Fallback characters after each \uN.
        int unicodeSkip = 1;
        // No word read yet: the first may name a destination.
        bool opening = true;
        // "\*" opened the group: a destination we do not know is skipped.
        bool starred = false;
    };

    void openGroup();
    void closeGroup();
    void takeControlWord(const Token& token);
    void takeTextWord(WordAction action, const Token& token);
    void takeTableWord(WordAction action, const Token& token);
    void takeControlSymbol(unsigned char symbol);
    // Raw text, or bytes written as \'hh escapes: only a raw semicolon ends a table entry.
    enum class TextKind
    {
        Raw,
        Escaped
    };

    void takeText(std::string_view bytes, TextKind kind);
    void takeTableText(std::string_view bytes);
    void putTableText(std::string_view bytes);
    void putCharacter(char16_t c);
    void endLine();
    bool skipFallback();
    QString& runText();
    // Character formatting or the code page changed: attributes are resolved again before the next text.
    void formatChanged();
    const Attributes& currentAttributes();
    CodePage currentCodePage();
    GroupState& group() { return m_groups.back(); }

    std::vector<GroupState> m_groups{GroupState{}};
    std::size_t m_flattenedGroups = 0;
    bool m_finished = false;
    int m_pendingFallback = 0;
    CodePage m_codePage = CodePage::Windows1251;
    int m_defaultFont = 0;
    FontTable m_fonts;
    ColorTable m_colors;
    Attributes m_attributes;
    CodePage m_textCodePage = CodePage::Windows1251;
    bool m_attributesStale = true;
    // The last run of the line has the current attributes.
    bool m_lastRunCurrent = false;
    Line m_line;
    Document m_document;
};

} // namespace kovrel::rtf

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string_view>

// The control words the reader acts on; every other word is read and ignored.
namespace kovrel::rtf {

// Where the content of a group goes.
enum class Destination
{
    Text,
    FontTable,
    ColorTable,
    Skipped
};

// The destination a group starting with `word` sends its content to: the font and colour tables, a
// field's shown result, and the destinations a conversation log has no use for (style sheet, document
// information, pictures, headers and footers, lists, bookmarks, fields' instructions …), which are
// skipped. None when `word` names no destination we know.
std::optional<Destination> destinationOf(std::string_view word);

enum class WordAction
{
    Ignore,
    // Character formatting.
    Font,
    FontSize,
    Color,
    Bold,
    Italic,
    Underline,
    UnderlineOff,
    Strikeout,
    Plain,
    // The document.
    CodePage,
    DefaultFont,
    UnicodeSkip,
    Unicode,
    EndLine,
    // A word that stands for `WordMeaning::character`.
    Character,
    // Font and colour table entries.
    FontCharset,
    Red,
    Green,
    Blue,
};

struct WordMeaning
{
    WordAction action = WordAction::Ignore;
    char16_t character = 0;
};

WordMeaning meaningOf(std::string_view word);

// What a control symbol (a backslash and one character that is not a letter) stands for in text, or none.
std::optional<char16_t> characterOfSymbol(unsigned char symbol);

} // namespace kovrel::rtf

// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtf_vocabulary.h"

#include <unordered_map>

namespace kovrel::rtf {

std::optional<Destination> destinationOf(std::string_view word)
{
    static const std::unordered_map<std::string_view, Destination> kDestinations = [] {
        std::unordered_map<std::string_view, Destination> destinations = {
            {"fonttbl", Destination::FontTable},
            {"colortbl", Destination::ColorTable},
            {"fldrslt", Destination::Text},
        };
        for (std::string_view skipped : {"annotation", "atnauthor", "atnid",        "author",
                                         "bkmkend",    "bkmkstart", "buptim",       "comment",
                                         "company",    "creatim",   "datastore",    "docvar",
                                         "doccomm",    "falt",      "fldinst",      "footer",
                                         "footerf",    "footerl",   "footerr",      "footnote",
                                         "ftncn",      "ftnsep",    "ftnsepc",      "generator",
                                         "header",     "headerf",   "headerl",      "headerr",
                                         "info",       "keywords",  "latentstyles", "listoverridetable",
                                         "listtable",  "listtext",  "nonshppict",   "object",
                                         "objdata",    "operator",  "panose",       "pgdsctbl",
                                         "pict",       "pntext",    "printim",      "revtbl",
                                         "revtim",     "rsidtbl",   "shp",          "shpinst",
                                         "stylesheet", "subject",   "themedata",    "title",
                                         "userprops",  "xe",        "xmlnstbl"}) {
            destinations.emplace(skipped, Destination::Skipped);
        }
        return destinations;
    }();
    const auto found = kDestinations.find(word);
    return found == kDestinations.end() ? std::nullopt : std::optional<Destination>(found->second);
}

WordMeaning meaningOf(std::string_view word)
{
    using enum WordAction;
    static const std::unordered_map<std::string_view, WordMeaning> kWords = {
        {"f", {Font}},
        {"fs", {FontSize}},
        {"cf", {Color}},
        {"b", {Bold}},
        {"i", {Italic}},
        {"ul", {Underline}},
        {"uld", {Underline}},
        {"uldash", {Underline}},
        {"uldb", {Underline}},
        {"ulth", {Underline}},
        {"ulw", {Underline}},
        {"ulwave", {Underline}},
        {"ulnone", {UnderlineOff}},
        {"strike", {Strikeout}},
        {"striked", {Strikeout}},
        {"plain", {Plain}},
        {"ansicpg", {CodePage}},
        {"deff", {DefaultFont}},
        {"uc", {UnicodeSkip}},
        {"u", {Unicode}},
        {"par", {EndLine}},
        {"sect", {EndLine}},
        {"row", {EndLine}},
        {"line", {Character, u'\n'}},
        {"tab", {Character, u'\t'}},
        {"cell", {Character, u'\t'}},
        {"emdash", {Character, u'\u2014'}},
        {"endash", {Character, u'\u2013'}},
        {"emspace", {Character, u'\u2003'}},
        {"enspace", {Character, u'\u2002'}},
        {"bullet", {Character, u'\u2022'}},
        {"lquote", {Character, u'\u2018'}},
        {"rquote", {Character, u'\u2019'}},
        {"ldblquote", {Character, u'\u201C'}},
        {"rdblquote", {Character, u'\u201D'}},
        {"fcharset", {FontCharset}},
        {"red", {Red}},
        {"green", {Green}},
        {"blue", {Blue}},
    };
    const auto found = kWords.find(word);
    return found == kWords.end() ? WordMeaning{} : found->second;
}

std::optional<char16_t> characterOfSymbol(unsigned char symbol)
{
    switch (symbol) {
    case '\\':
    case '{':
    case '}':
        return symbol;
    case '~':
        return u'\u00A0'; // no-break space
    case '-':
        return u'\u00AD'; // optional hyphen
    case '_':
        return u'\u2011'; // non-breaking hyphen
    default:
        return std::nullopt;
    }
}

} // namespace kovrel::rtf

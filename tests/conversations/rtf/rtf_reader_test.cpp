// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtf_document.h"

#include "rtf_test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace kovrel::rtf {
namespace {

using namespace test;

// The runs of a one-line RTF document with default attributes but where given.
Document oneLine(std::vector<Run> runs)
{
    return Document{{Line{std::move(runs)}}};
}

Document plainOneLine(const char* utf8)
{
    return oneLine({run(utf8, rtfDefaults())});
}

TEST(RtfReader, SkipsTheFallbackOfUnicodeCharactersAsUcSays)
{
    EXPECT_EQ(ReadDocument("{\\rtf1\\uc2 a\\u1071\\'df\\'dfb\\uc1\\u1071?c{\\uc0\\u1071 d}\\u1071\\'dfe}"),
              plainOneLine("aЯbЯcЯdЯe"));
    EXPECT_EQ(ReadDocument("{\\rtf1 \\u-10179?\\u-8704?\\u8364\\'88!}"), plainOneLine("😀€!"));
    EXPECT_EQ(ReadDocument("{\\rtf1{\\uc3 \\u1071 ab}x}"), plainOneLine("Яx"))
        << "the fallback ends with the group";
}

TEST(RtfReader, ReadsHexBytesInTheCodePageOfTheDocumentOrTheFont)
{
    EXPECT_EQ(ReadDocument("{\\rtf1\\ansi\\ansicpg1251 \\'c0\\'e1\\'e2 \\'88}"), plainOneLine("Абв €"));
    EXPECT_EQ(ReadDocument("{\\rtf1\\ansi\\ansicpg1252 \\'c0\\'e9\\'80}"), plainOneLine("Àé€"));
    EXPECT_EQ(ReadDocument("{\\rtf1\\ansi \\'c0\\'e9}"), plainOneLine("Ай")) << "Windows-1251 unless told";
    EXPECT_EQ(
        ReadDocument("{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset0 Arial;}{\\f1\\fcharset204 Arial;}}"
                     "\\f0\\'e9\\f1\\'e9}"),
        oneLine({run("é", font("Arial", 0, 24)), run("й", font("Arial", 204, 24))}));
}

TEST(RtfReader, AnApostropheInTextAfterAHexByteIsText)
{
    // Only a backslash starts an escape: "U'e8" after \'41 is four characters, not "U" and the byte E8.
    EXPECT_EQ(ReadDocument("{\\rtf1\\ansi\\ansicpg1251 \\'41U'e8\\'e8'e8}"), plainOneLine("AU'e8и'e8"));
}

TEST(RtfReader, SkipsDestinationsThatHoldNoText)
{
    EXPECT_EQ(ReadDocument("{\\rtf1{\\*\\unknown secret}{\\*\\generator Me;}vis{\\*\\bkmkstart b}ible"
                           "{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}}{\\pict\\pngblip 89504e47}"
                           "{\\header head}{\\*\\themedata 0102}!}"),
              plainOneLine("visible!"));
    EXPECT_EQ(
        ReadDocument("{\\rtf1 see {\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt the link}}.}"),
        plainOneLine("see the link."));
    EXPECT_EQ(ReadDocument("{\\rtf1 a{\\pict\\bin4 }{}\\}b}"), plainOneLine("ab"))
        << "binary data is skipped";
}

TEST(RtfReader, IgnoresControlWordsItDoesNotKnow)
{
    EXPECT_EQ(ReadDocument("{\\rtf1\\pard\\sa200\\sl276\\slmult1 a\\foo b\\bar12 c\\xyz-3 d\\lang1049 e}"),
              plainOneLine("abcde"));
}

TEST(RtfReader, GroupsKeepTheirFormattingToThemselves)
{
    const Attributes plain = rtfDefaults();
    EXPECT_EQ(ReadDocument("{\\rtf1 a{\\b b{\\i\\ul c}d}e}"),
              oneLine({run("a", plain), run("b", bold(plain)), run("c", bold(italic(underlined(plain)))),
                       run("d", bold(plain)), run("e", plain)}));
    EXPECT_EQ(
        ReadDocument("{\\rtf1\\b\\i\\ul\\strike a\\plain b\\b\\strike c\\b0\\strike0 d\\ul e\\ul0 f\\ul g"
                     "\\ulnone h\\i1 i\\i0 j}"),
        oneLine({run("a", bold(italic(underlined(struckOut(plain))))), run("b", plain),
                 run("c", bold(struckOut(plain))), run("d", plain), run("e", underlined(plain)),
                 run("f", plain), run("g", underlined(plain)), run("h", plain), run("i", italic(plain)),
                 run("j", plain)}));
}

TEST(RtfReader, TakesFacesSizesAndColorsFromTheTables)
{
    const std::string rtf = "{\\rtf1\\deff1{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial{\\*\\panose 020b0604}"
                            "{\\*\\falt Helvetica};}{\\f1\\fcharset204 Times \\'cd\\'ee\\'e2\\'fb\\'e9;}}"
                            "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green128\\blue999;}"
                            "a\\f0\\fs18 b\\cf1 c\\cf2 d\\cf7 e\\fs999999999999 f\\fs-5 g}";
    const Attributes times = font("Times Новый", 204, 24);
    const Attributes arial = font("Arial", 0, 18);
    EXPECT_EQ(
        ReadDocument(rtf),
        oneLine({run("a", times), run("b", arial), run("c", colored(arial, 0xFF0000)),
                 run("d", colored(arial, 0x0080FF)), run("e", arial),
                 run("f", font("Arial", 0, kMaxHalfPoints)), run("g", font("Arial", 0, kMinHalfPoints))}));
}

TEST(RtfReader, EndsLinesAtParAndKeepsLineBreaksInside)
{
    EXPECT_EQ(ReadDocument("{\\rtf1 a\\line b\\par c\\tab d\\par\\par e}"),
              (Document{{Line{{run("a\nb", rtfDefaults())}}, Line{{run("c\td", rtfDefaults())}}, Line{},
                         Line{{run("e", rtfDefaults())}}}}));
    EXPECT_EQ(ReadDocument("{\\rtf1 a\\\nb\\\r\nc\r\nd}"),
              (Document{{Line{{run("a", rtfDefaults())}}, Line{{run("b", rtfDefaults())}},
                         Line{{run("cd", rtfDefaults())}}}}))
        << "a backslash before a line break ends a line; a bare line break is no text";
}

TEST(RtfReader, ReadsTypographicSymbols)
{
    EXPECT_EQ(ReadDocument("{\\rtf1 \\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote"
                           "\\~\\-\\_\\{\\}\\\\}"),
              plainOneLine("—–•‘’“”\u00A0\u00AD\u2011{}\\"));
}

TEST(RtfReader, SurvivesBrokenStructure)
{
    EXPECT_EQ(ReadDocument("{\\rtf1 a}}} b"), plainOneLine("a")) << "nothing after the outermost group";
    EXPECT_EQ(ReadDocument("{\\rtf1 a{\\b b"),
              oneLine({run("a", rtfDefaults()), run("b", bold(rtfDefaults()))}));
    EXPECT_EQ(ReadDocument("{\\rtf1 a\\'c"), plainOneLine("ac"));
    EXPECT_EQ(ReadDocument("{\\rtf1 a\\u99999?\\b99999999999999999999 b\\"),
              oneLine({run("a\uFFFD", rtfDefaults()), run("b", bold(rtfDefaults()))}));
}

// Beyond the depth limit braces only count: formatting set there lasts until the group at the limit closes.
TEST(RtfReader, FlattensGroupsNestedTooDeep)
{
    const std::size_t depth = 100000;
    const std::string deep = std::string(depth, '{') + "\\b deep}" + " still" + std::string(depth - 1, '}');
    EXPECT_EQ(ReadDocument("{\\rtf1 " + deep + " after}"),
              oneLine({run("deep still", bold(rtfDefaults())), run(" after", rtfDefaults())}));
}

TEST(PlainText, ReadsUtf8AndSplitsLinesAtEveryKindOfBreak)
{
    EXPECT_EQ(
        ReadDocument("Привет\r\nмир\rраз\n\nдва\n"),
        (Document{{plainLine("Привет"), plainLine("мир"), plainLine("раз"), Line{}, plainLine("два")}}));
    EXPECT_EQ(ReadDocument("\xEF\xBB\xBFтекст"), Document{{plainLine("текст")}})
        << "the byte order mark goes";
}

TEST(PlainText, ReadsWindows1251WhenTheBytesAreNotUtf8)
{
    EXPECT_EQ(ReadDocument("\xcf\xf0\xe8\xe2\xe5\xf2\r\n\xec\xe8\xf0 \x88"),
              (Document{{plainLine("Привет"), plainLine("мир €")}}));
    EXPECT_EQ(ReadDocument("ok \xd0"), Document{{plainLine("ok Р")}}) << "UTF-8 cut short is not UTF-8";
}

TEST(PlainText, ReadsWhatDoesNotStartAsRtf)
{
    EXPECT_EQ(ReadDocument(""), Document{});
    EXPECT_EQ(ReadDocument("{\\rt not rtf}"), Document{{plainLine("{\\rt not rtf}")}});
    EXPECT_EQ(ReadDocument("\xEF\xBB\xBF \r\n\t{\\rtf1 rtf}"), plainOneLine("rtf"));
}

} // namespace
} // namespace kovrel::rtf

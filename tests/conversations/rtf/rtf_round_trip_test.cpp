// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtf_document.h"

#include "rtf_test_support.h"

#include <gtest/gtest.h>

namespace kovrel::rtf {
namespace {

using namespace test;

const Attributes kTahoma = font("Tahoma", 204, 20);
const Attributes kCourier = colored(font("Courier New", 0, 16), 0x0000FF);

// A page as the client has it: time stamps, nicks in other styles, text no code page holds.
Document samplePage()
{
    return Document{{
        Line{{run("(12:00:01) ", kTahoma), run("Петя", bold(kTahoma)), run(": привет, Ёжик!", kTahoma)}},
        Line{{run("{}\\ \\par {\\b not a word}", kCourier), run("日本 € 😀 ℃", italic(kTahoma))}},
        Line{},
        Line{{run("колонка\tколонка", underlined(colored(kTahoma, 0xC00000))),
              run("зачёркнуто", struckOut(colored(kTahoma, 0x00FF00))),
              run("всё сразу", bold(italic(underlined(struckOut(font("Arial", 0, 72))))))}},
        Line{{run("first row\n-1 second row\t-2", font("", 1, 20)), run(" 3x", kTahoma),
              run("-4", bold(kTahoma))}},
        Line{{run("Шрифт; с точкой", font("Шрифт; с точкой", 204, 21))}},
    }};
}

TEST(RtfRoundTrip, APageComesBackAsItWasWritten)
{
    const Document page = samplePage();
    EXPECT_EQ(ReadDocument(WriteRtf(page)), page);
}

TEST(RtfRoundTrip, EveryCharacterOfTheBasicPlaneSurvives)
{
    QString all;
    for (char32_t c = 0; c <= 0xFFFF; ++c) {
        const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
        if (!surrogate && c != u'\r' && c != u'\n') {
            all.append(QChar(static_cast<char16_t>(c)));
        }
    }
    for (const Attributes& attributes : {kTahoma, font("Arial", 0, 20), font("Arial", 238, 20)}) {
        const Document document{{Line{{rtf::Run{all, attributes}}}}};
        EXPECT_EQ(ReadDocument(WriteRtf(document)), document) << "character set " << attributes.charset;
    }
}

TEST(RtfRoundTrip, LineBreaksInsideARunComeBackAsLineFeeds)
{
    const Document written{{Line{{run("a\r\nb\rc\nd", kTahoma)}}}};
    EXPECT_EQ(ReadDocument(WriteRtf(written)), (Document{{Line{{run("a\nb\nc\nd", kTahoma)}}}}));
}

TEST(RtfRoundTrip, AnEmptyDocumentStaysEmpty)
{
    EXPECT_EQ(ReadDocument(WriteRtf(Document{})), Document{});
}

// Seven-bit output with the escapes every RTF reader knows; the lines of the file are the page's lines.
TEST(RtfWriter, WritesCharactersAsRtfEscapes)
{
    const std::string rtf = WriteRtf(Document{{Line{{run("Я€{😀\t", kTahoma)}}, Line{{run("x", kTahoma)}}}});
    EXPECT_TRUE(rtf.starts_with("{\\rtf1\\ansi\\ansicpg1251\\deff0")) << rtf;
    EXPECT_NE(rtf.find("\\'df\\'88\\{\\u-10179?\\u-8704?\\tab"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("{\\f0\\fnil\\fcharset204 Tahoma;}"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\par\nx\\par\n}"), std::string::npos) << rtf;
    EXPECT_TRUE(std::all_of(rtf.begin(), rtf.end(), [](char c) { return c > 0 && c < 0x7F; })) << rtf;
}

} // namespace
} // namespace kovrel::rtf

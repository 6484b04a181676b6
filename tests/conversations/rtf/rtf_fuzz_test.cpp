// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtf_document.h"

#include "rtf_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string_view>

namespace kovrel::rtf {
namespace {

using namespace test;

std::size_t charactersIn(const Document& document)
{
    std::size_t characters = 0;
    for (const Line& line : document.lines) {
        for (const Run& run : line.runs) {
            characters += static_cast<std::size_t>(run.text.size());
        }
    }
    return characters;
}

// Every input gives a document no larger than itself.
void expectBounded(std::string_view input)
{
    const Document document = ReadDocument(input);
    ASSERT_LE(charactersIn(document), input.size()) << input;
    ASSERT_LE(document.lines.size(), input.size()) << input;
}

const std::array<std::string_view, 18> kInsertions = {
    "{",    "}",        "\\",    "\\u",   "\\'", "\\uc", "99999999999999999999", "-2147483649",
    "\\*",  "{\\*\\x ", "\\bin", "\\par", ";",   "\\'f", "{\\fonttbl{\\f",       "{\\colortbl;\\red",
    "\\u-", "\\f0\\fs"};

std::size_t below(std::mt19937& random, std::size_t bound)
{
    return bound == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, bound - 1)(random);
}

std::string mutated(std::string document, std::mt19937& random)
{
    const std::size_t edits = 1 + below(random, 8);
    for (std::size_t edit = 0; edit < edits && !document.empty(); ++edit) {
        const std::size_t at = below(random, document.size());
        switch (below(random, 5)) {
        case 0:
            document[at] = static_cast<char>(document[at] ^ (1 << below(random, 8)));
            break;
        case 1:
            document.insert(at, kInsertions[below(random, kInsertions.size())]);
            break;
        case 2:
            document.erase(at, 1 + below(random, 16));
            break;
        case 3:
            document.resize(at);
            break;
        default:
            document.insert(at, document.substr(at, below(random, 64)));
        }
    }
    return document;
}

TEST(RtfFuzz, MutatedDocumentsReadWithoutHarm)
{
    const Attributes tahoma = font("Tahoma", 204, 20);
    const std::array<std::string, 3> seeds = {
        WriteRtf(Document{{Line{{run("(12:00:01) Петя: ", bold(tahoma)), run("日本 😀 {}\\\t", tahoma)}},
                           Line{{run("конец\nстроки", colored(italic(tahoma), 0xFF))}}}}),
        readDataFile("libreoffice-sample.rtf"), readDataFile("wordpad-sample.rtf")};
    std::mt19937 random(20240229);
    for (int i = 0; i < 20000; ++i) {
        expectBounded(mutated(seeds[static_cast<std::size_t>(i) % seeds.size()], random));
    }
}

// Inputs built to cost quadratic time or unbounded depth in a careless reader.
TEST(RtfFuzz, HostileDocumentsReadInBoundedWork)
{
    const std::size_t size = 1 << 20;
    expectBounded("{\\rtf1 " + std::string(size, '{'));
    expectBounded("{\\rtf1\\uc2147483647 \\u1 " + std::string(size, 'x'));
    std::string manyUnicode = "{\\rtf1 ";
    std::string manySwitches = "{\\rtf1{\\fonttbl{\\f0 " + std::string(size, 'a') + ";}}";
    for (std::size_t i = 0; i < size / 8; ++i) {
        manyUnicode += "\\u-1";
        manySwitches += "\\b x\\b0 y";
    }
    expectBounded(manyUnicode);
    expectBounded(manySwitches);
    expectBounded("{\\rtf1 a\\bin2147483647 " + std::string(size, '}'));
}

} // namespace
} // namespace kovrel::rtf

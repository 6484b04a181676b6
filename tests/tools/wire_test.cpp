// SPDX-License-Identifier: GPL-3.0-or-later
#include "wire_tool.h"

#include "../support/reference_codec.h"
#include "cp1251.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <sstream>

#include "kovrel_version.h"

namespace kovrel::wire {
namespace {

struct ToolRun
{
    int status;
    std::string out;
    std::string errors;
};

ToolRun encode(const std::string& input)
{
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream errors;
    const int status = encodeStream(in, out, errors);
    return {status, out.str(), errors.str()};
}

ToolRun decode(const std::string& input)
{
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream errors;
    const int status = decodeStream(in, out, errors);
    return {status, out.str(), errors.str()};
}

const test::ReferenceCodec kReference;

std::string framedUtf8(const char* utf8)
{
    return kReference.frame(cp1251::fromUtf8(utf8));
}

TEST(KovrelWire, EncodesLinesAsCp1251FramedFields)
{
    const ToolRun run = encode("AddUser|Вася\nAllUser|Вася|Привет, мир!\r\n\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, framedUtf8("AddUser|Вася") + framedUtf8("AllUser|Вася|Привет, мир!") + framedUtf8(""));
    EXPECT_EQ(run.errors, "");
}

TEST(KovrelWire, DecodesAStreamAnotherImplementationWrote)
{
    const std::string stream = framedUtf8("GetUser|Петя") +
                               framedUtf8("TextStyle|AllUser|204|255|-13|1|0|0|0|Arial") +
                               framedUtf8("AllUser|Петя|ёЁ №5 «цитата»");
    const ToolRun run = decode(stream);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "GetUser|Петя\nTextStyle|AllUser|204|255|-13|1|0|0|0|Arial\nAllUser|Петя|ёЁ №5 «цитата»\n");
    EXPECT_EQ(run.errors, "");
}

// Control characters from the network never reach the terminal, and a multi-line field stays one line;
// decode and encode undo each other.
TEST(KovrelWire, EscapesControlCharactersAndRoundTrips)
{
    const std::string field = "AllUser|x|line one\nline two\\\x1b[31mred\t\r";
    const ToolRun decoded = decode(kReference.frame(field));
    EXPECT_EQ(decoded.out, "AllUser|x|line one\\nline two\\\\\\x1B[31mred\\t\\r\n");
    const ToolRun encoded = encode(decoded.out);
    EXPECT_EQ(encoded.status, 0);
    EXPECT_EQ(encoded.out, kReference.frame(field));
}

TEST(KovrelWire, ReportsStreamsThatEndShortOrGoOutOfStep)
{
    const std::string good = framedUtf8("Topic|тема");
    const ToolRun cut = decode(good + good.substr(0, 12));
    EXPECT_EQ(cut.status, 1);
    EXPECT_EQ(cut.out, "Topic|тема\n");
    EXPECT_NE(cut.errors.find("ends inside a frame: 12 bytes"), std::string::npos) << cut.errors;

    const ToolRun garbage = decode(good + "GET / HTTP/1.1\r\n");
    EXPECT_EQ(garbage.status, 1);
    EXPECT_EQ(garbage.out, "Topic|тема\n");
    EXPECT_NE(garbage.errors.find("out of step"), std::string::npos) << garbage.errors;
}

TEST(KovrelWire, SkipsAndReportsLinesItCannotEncode)
{
    const ToolRun run = encode("ok\nbad \\q escape\n\\x00\n" + std::string(90000, 'a') + "\nalso ok\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, kReference.frame("ok") + kReference.frame("also ok"));
    EXPECT_NE(run.errors.find("line 2: unknown escape"), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find("line 3: a field cannot hold a zero byte"), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find("line 4: field of 90000 bytes"), std::string::npos) << run.errors;
}

std::string runShell(const std::string& command, int& status)
{
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        output.append(buffer, n);
    }
    status = WEXITSTATUS(::pclose(pipe));
    return output;
}

TEST(KovrelWire, CommandLinePipesRoundTrip)
{
    const std::string tool = KOVREL_WIRE_BINARY;
    int status = -1;
    EXPECT_EQ(
        runShell("printf 'AddUser|Вася\\nAllUser|Вася|Привет\\n' | " + tool + " encode | " + tool + " decode",
                 status),
        "AddUser|Вася\nAllUser|Вася|Привет\n");
    EXPECT_EQ(status, 0);
    EXPECT_NE(runShell(tool + " --help", status).find("kovrel-wire encode"), std::string::npos);
    EXPECT_EQ(status, 0);
    runShell(tool + " 2>/dev/null", status);
    EXPECT_EQ(status, 2);
}

TEST(KovrelWire, VersionIsOneLineOnStandardOutput)
{
    // An empty or unsubstituted number would still make the program's line equal to the expected one.
    EXPECT_TRUE(std::regex_match(std::string(kVersion), std::regex(R"(\d+\.\d+\.\d+)"))) << kVersion;

    const std::string tool = KOVREL_WIRE_BINARY;
    int status = -1;
    EXPECT_EQ(runShell(tool + " --version", status), "kovrel-wire " + std::string(kVersion) + "\n");
    EXPECT_EQ(status, 0);
    EXPECT_NE(runShell(tool + " --help", status).find("--version"), std::string::npos);
}

} // namespace
} // namespace kovrel::wire

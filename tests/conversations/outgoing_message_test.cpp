// SPDX-License-Identifier: GPL-3.0-or-later
#include "outgoing_message.h"

#include "input_history.h"
#include "wire_text.h"

#include <gtest/gtest.h>

namespace kovrel {
namespace {

const TextStyle kStyle{"Tahoma", 204, 255, -13, 8, true, false, true, false};

TEST(OutgoingMessage, PublicMessageNamesOnlyTheSender)
{
    const ChatFields fields = BuildChatFields(kStyle, "Вася", std::nullopt, false, "  привет ");
    EXPECT_EQ(fields.style, "TextStyle|AllUser|204|255|-13|1|0|1|0|Tahoma");
    EXPECT_EQ(fields.message, toWire("AllUser|Вася|  привет "));
}

TEST(OutgoingMessage, PrivateImportantMessage)
{
    const ChatFields fields = BuildChatFields(kStyle, "Вася", QStringLiteral("Петя"), true, "hello");
    EXPECT_EQ(fromWire(fields.style), "TextStyle|PrivatUser|Вася|Петя|204|255|-13|1|0|1|0|Tahoma");
    EXPECT_EQ(fromWire(fields.message), "PrivatUser|Вася|Петя|!hello");
}

TEST(OutgoingMessage, TextThatCp1251CannotHoldGoesOutAsQuestionMarks)
{
    const ChatFields fields = BuildChatFields(kStyle, "Вася", std::nullopt, false, "日本 ok");
    EXPECT_EQ(fields.message, toWire("AllUser|Вася|?? ok"));
}

TEST(OutgoingMessage, SendsOnlyTheLowByteOfTheCharacterSet)
{
    TextStyle style = kStyle;
    style.charset = 0x1cc;
    EXPECT_TRUE(
        BuildChatFields(style, "a", std::nullopt, false, "x").style.starts_with("TextStyle|AllUser|204|"));
}

TEST(OutgoingMessage, ChecksTheText)
{
    EXPECT_EQ(CheckOutgoingText("hi"), OutgoingCheck::Ready);
    EXPECT_EQ(CheckOutgoingText("line\r\nline"), OutgoingCheck::Ready);
    EXPECT_EQ(CheckOutgoingText(" \t\r\n"), OutgoingCheck::Blank);
    EXPECT_EQ(CheckOutgoingText("a|b"), OutgoingCheck::ForbiddenCharacter);
}

TEST(InputHistory, KeepsTheLatestOnTopWithoutRepeats)
{
    InputHistory history;
    history.add("one");
    history.add("two");
    history.add("one");
    EXPECT_EQ(history.entries(), (QStringList{"one", "two"}));
    history.add(QString(300, 'x'));
    EXPECT_EQ(history.entries().front().size(), 255);
}

} // namespace
} // namespace kovrel

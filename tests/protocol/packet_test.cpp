// SPDX-License-Identifier: GPL-3.0-or-later
#include "packet.h"

#include "../support/reference_codec.h"
#include "field_cipher.h"

#include <gtest/gtest.h>

namespace kovrel {
namespace {

std::string framed(std::string_view text)
{
    return test::ReferenceCodec().frame(text);
}

TEST(BuildPacket, FramesEachFieldWithItsFiveDigitLength)
{
    const std::string three = BuildPacket({"abc"});
    EXPECT_EQ(three.substr(0, 5), "00009");
    EXPECT_EQ(three.size(), 14u);
    EXPECT_EQ(BuildPacket({"a", "b"}).size(), 28u);
    EXPECT_EQ(BuildPacket({""}), "00000");
    EXPECT_EQ(BuildPacket({std::string(100, 'x')}).substr(0, 5), "00117");
    EXPECT_EQ(BuildPacket({"TextStyle|x", "AllUser|me|hi"}), framed("TextStyle|x") + framed("AllUser|me|hi"));
}

TEST(BuildPacket, RefusesAFieldTooLongForFiveDigits)
{
    const std::string longest(kMaxFieldTextSize, 'a');
    EXPECT_EQ(BuildPacket({longest}).substr(0, 5), "99999");
    const std::string tooLong(kMaxFieldTextSize + 1, 'a');
    EXPECT_THROW(BuildPacket({"fine", tooLong}), FieldTooLong);
}

TEST(SendPacket, HandsTheWholePacketToTheSinkInOneCall)
{
    struct RecordingSink : ByteSink
    {
        std::vector<std::string> sends;
        void sendBytes(std::string_view bytes) override { sends.emplace_back(bytes); }
    } sink;
    SendPacket(sink, {"TextStyle|AllUser|1", "AllUser|me|привет"});
    ASSERT_EQ(sink.sends.size(), 1u);
    EXPECT_EQ(sink.sends[0], BuildPacket({"TextStyle|AllUser|1", "AllUser|me|привет"}));

    const std::string tooLong(kMaxFieldTextSize + 1, 'a');
    EXPECT_THROW(SendPacket(sink, {tooLong}), FieldTooLong);
    EXPECT_EQ(sink.sends.size(), 1u) << "nothing is sent for a refused field";
}

using Fields = std::vector<std::string>;

TEST(ParsePacket, ReadsWholeFieldsInOrder)
{
    EXPECT_EQ(ParsePacket(""), Fields{});
    EXPECT_EQ(ParsePacket("00000"), Fields{""});
    const std::string packet = framed("AddUser|Вася") + framed("");
    EXPECT_EQ(ParsePacket(packet + packet), (Fields{"AddUser|Вася", "", "AddUser|Вася", ""}));
}

TEST(ParsePacket, StopsAtALengthThatIsNotANumber)
{
    EXPECT_EQ(ParsePacket("abcde" + framed("x")), Fields{});
    EXPECT_EQ(ParsePacket(framed("x") + "-0009" + framed("y")), Fields{"x"});
    EXPECT_EQ(ParsePacket(framed("x") + " 0009" + framed("y")), Fields{"x"});
}

TEST(ParsePacket, ShortPrefixAtTheEndReadsAsAnEmptyField)
{
    EXPECT_EQ(ParsePacket(framed("x") + "000"), (Fields{"x", ""}));
}

TEST(ParsePacket, DecodesAFieldCutShortAsFarAsItGoes)
{
    const std::string whole = framed("0123456789abcdef");
    const Fields fields = ParsePacket(whole.substr(0, whole.size() - 4));
    ASSERT_EQ(fields.size(), 1u);
    EXPECT_EQ(fields[0].substr(0, 8), "01234567");
}

TEST(ParsePacket, TakesAtMost1001FieldsFromOneRead)
{
    std::string read;
    for (int i = 0; i < 1002; ++i) {
        std::string field = "f";
        field += std::to_string(i);
        read += framed(field);
    }
    const Fields fields = ParsePacket(read);
    ASSERT_EQ(fields.size(), 1001u);
    EXPECT_EQ(fields.back(), "f1000");
}

TEST(SplitFirst, SplitsAtTheFirstSeparatorOnly)
{
    EXPECT_EQ(SplitFirst("AddUser|nick"), (SplitText{"AddUser", "nick"}));
    EXPECT_EQ(SplitFirst("a|b|c"), (SplitText{"a", "b|c"}));
    EXPECT_EQ(SplitFirst("no separator"), (SplitText{"", "no separator"}));
    EXPECT_EQ(SplitFirst("TestConnection|"), (SplitText{"TestConnection", ""}));
    EXPECT_EQ(SplitFirst(""), (SplitText{"", ""}));
}

} // namespace
} // namespace kovrel

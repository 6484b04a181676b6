// SPDX-License-Identifier: GPL-3.0-or-later
#include "packet_reader.h"

#include "../support/reference_codec.h"
#include "packet.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kovrel {
namespace {

using Fields = std::vector<std::string>;

std::string framed(std::string_view text)
{
    return test::ReferenceCodec().frame(text);
}

Fields takeAll(PacketReader& reader)
{
    return reader.takeFields(SIZE_MAX);
}

const Fields kSample = {"TextStyle|AllUser|204|0|-13|0|0|0|0|Tahoma", "AllUser|Вася|привет всем", "",
                        "GetUser|Петя", std::string(40, 'z')};

std::string sampleStream()
{
    std::string stream;
    for (const auto& field : kSample) {
        stream += framed(field);
    }
    return stream;
}

// Every way of cutting the stream into two or three reads gives the same fields.
TEST(PacketReader, DeliversWholeFieldsWhereverTheStreamIsCut)
{
    const std::string stream = sampleStream();
    for (std::size_t first = 0; first <= stream.size(); ++first) {
        for (std::size_t second = first; second <= stream.size(); second += 7) {
            PacketReader reader;
            Fields fields;
            for (auto piece :
                 {stream.substr(0, first), stream.substr(first, second - first), stream.substr(second)}) {
                ASSERT_FALSE(reader.feed(piece).outOfStep) << "cut at " << first << ", " << second;
                const Fields taken = takeAll(reader);
                fields.insert(fields.end(), taken.begin(), taken.end());
            }
            ASSERT_EQ(fields, kSample) << "cut at " << first << ", " << second;
            ASSERT_EQ(reader.unfinishedBytes(), 0u);
        }
    }
}

TEST(PacketReader, DeliversAStreamFedOneByteAtATime)
{
    const std::string stream = sampleStream();
    PacketReader reader;
    for (char c : stream) {
        reader.feed(std::string_view(&c, 1));
    }
    EXPECT_EQ(takeAll(reader), kSample);
}

TEST(PacketReader, KeepsFieldsBeyondOneBatchForTheNext)
{
    std::string read;
    for (int i = 0; i < 2500; ++i) {
        read += framed(std::to_string(i));
    }
    PacketReader reader;
    EXPECT_EQ(reader.feed(read).fieldsCompleted, 2500u);
    EXPECT_EQ(reader.takeFields(kMaxFieldsPerRead).size(), 1001u);
    EXPECT_EQ(reader.takeFields(kMaxFieldsPerRead).front(), "1001");
    const Fields last = reader.takeFields(kMaxFieldsPerRead);
    ASSERT_EQ(last.size(), 498u);
    EXPECT_EQ(last.back(), "2499");
    EXPECT_FALSE(reader.hasFields());
}

TEST(PacketReader, DropsTheBufferWhenTheStreamIsOutOfStep)
{
    PacketReader reader;
    const std::string good = framed("before");
    const PacketReader::FeedResult result = reader.feed(good + "12x45" + framed("lost"));
    EXPECT_TRUE(result.outOfStep);
    EXPECT_EQ(result.fieldsCompleted, 1u);
    EXPECT_EQ(result.bytesDropped, 5 + framed("lost").size());
    EXPECT_EQ(reader.unfinishedBytes(), 0u);
    // The next read starts afresh.
    EXPECT_FALSE(reader.feed(framed("after")).outOfStep);
    EXPECT_EQ(takeAll(reader), (Fields{"before", "after"}));
}

std::string decodeCapitalisingZ(std::string_view encoded)
{
    std::string text = DecodeField(encoded);
    std::transform(text.begin(), text.end(), text.begin(), [](char c) { return c == 'z' ? 'Z' : c; });
    return text;
}

TEST(PacketReader, HandsEveryWholeFieldToItsDecoder)
{
    PacketReader reader(decodeCapitalisingZ);
    const std::string stream = sampleStream();
    reader.feed(std::string_view(stream).substr(0, 20));
    reader.feed(std::string_view(stream).substr(20));
    Fields expected = kSample;
    expected.back() = std::string(40, 'Z');
    EXPECT_EQ(takeAll(reader), expected);
}

TEST(PacketReader, SeesGarbageInAnUnfinishedPrefix)
{
    PacketReader reader;
    EXPECT_TRUE(reader.feed("0a").outOfStep);
    EXPECT_FALSE(reader.feed("000").outOfStep);
    EXPECT_TRUE(reader.feed("+").outOfStep) << "the sign completes a prefix that is not five digits";
    EXPECT_EQ(reader.unfinishedBytes(), 0u);
}

TEST(PacketReader, HoldsNoMoreThanOneUnfinishedField)
{
    const std::string big = framed(std::string(kMaxFieldTextSize, 'b'));
    ASSERT_EQ(big.size(), kMaxFramedFieldSize);
    PacketReader reader;
    reader.feed(big.substr(0, 60000));
    EXPECT_EQ(reader.unfinishedBytes(), 60000u);
    reader.feed(big.substr(60000, big.size() - 60001));
    EXPECT_EQ(reader.unfinishedBytes(), kMaxFramedFieldSize - 1);
    reader.feed(big.substr(big.size() - 1) + framed("next").substr(0, 3));
    EXPECT_EQ(reader.unfinishedBytes(), 3u);
    const Fields fields = takeAll(reader);
    ASSERT_EQ(fields.size(), 1u);
    EXPECT_EQ(fields[0].size(), kMaxFieldTextSize);
}

} // namespace
} // namespace kovrel

// SPDX-License-Identifier: GPL-3.0-or-later
#include "field_cipher.h"

#include "../support/reference_codec.h"
#include "des.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace kovrel {
namespace {

const DesKey kKey = {'5', '8', '2', '0', '3', '7', '1', '6'};

std::string randomText(std::mt19937& random, std::size_t size)
{
    std::uniform_int_distribution<int> byte(1, 255);
    std::string text(size, '\0');
    std::generate(text.begin(), text.end(), [&] { return static_cast<char>(byte(random)); });
    return text;
}

std::string encipherBlock(std::string_view plain)
{
    DesBlock block{};
    std::copy_n(plain.begin(), kDesBlockSize, block.begin());
    const DesBlock cipher = DesEncryptBlock(block, kKey);
    return std::string(cipher.begin(), cipher.end());
}

TEST(FieldCipher, EncodedSizeIsNineBytesPerStartedBlock)
{
    EXPECT_EQ(EncodeField("").size(), 0u);
    EXPECT_EQ(EncodeField("x").size(), 9u);
    EXPECT_EQ(EncodeField("12345678").size(), 9u);
    EXPECT_EQ(EncodeField("123456789").size(), 18u);
    EXPECT_EQ(EncodeField(std::string(100, 'a')).size(), 117u);
    EXPECT_EQ(DecodeField(""), "");
}

TEST(FieldCipher, RoundTripsEveryLengthAndByteValue)
{
    std::mt19937 random(1);
    for (std::size_t size = 0; size <= 300; ++size) {
        const std::string text = randomText(random, size);
        const std::string encoded = EncodeField(text);
        ASSERT_EQ(encoded.find('\0'), std::string::npos) << "size " << size;
        ASSERT_EQ(DecodeField(encoded), text) << "size " << size;
    }
    std::string everyByte;
    for (int c = 1; c < 256; ++c) {
        everyByte += static_cast<char>(c);
    }
    EXPECT_EQ(DecodeField(EncodeField(everyByte)), everyByte);
}

TEST(FieldCipher, MatchesAnIndependentImplementationByteForByte)
{
    const test::ReferenceCodec reference;
    std::mt19937 random(2);
    for (std::size_t size = 0; size <= 200; size += 7) {
        const std::string text = randomText(random, size);
        EXPECT_EQ(EncodeField(text), reference.encode(text)) << "size " << size;
        EXPECT_EQ(DecodeField(reference.encode(text)), text) << "size " << size;
        EXPECT_EQ(reference.decode(EncodeField(text)), text) << "size " << size;
    }
}

// The bytes after the end mark of a short block are not significant: whatever a peer put there, the
// text ends at the mark.
TEST(FieldCipher, IgnoresBytesAfterTheEndMarkOfAShortBlock)
{
    const std::string cipher = encipherBlock(std::string("abc\0XYZW", 8));
    std::string group = cipher;
    unsigned char map = 0;
    for (int i = 0; i < 8; ++i) {
        if (group[i] == '\0') {
            group[i] = '\xff';
            map |= static_cast<unsigned char>(1 << i);
        }
    }
    group += static_cast<char>(map == 0 ? 0xff : map);
    EXPECT_EQ(DecodeField(EncodeField("12345678") + group), "12345678abc");
}

TEST(FieldCipher, MapByteMarksTheBytesToZeroBeforeDeciphering)
{
    const std::string plain = "Hello, w";
    std::string cipher = encipherBlock(plain);
    cipher[0] = '\0';
    cipher[2] = '\0';
    const std::string withZeros = cipher;
    // Whatever arrives in the marked places is replaced by zero.
    cipher[0] = '\x11';
    cipher[2] = '\xff';
    const std::string decoded = DecodeField(cipher + '\x05');
    DesBlock block;
    std::copy_n(withZeros.begin(), 8, block.begin());
    const DesBlock expected = DesDecryptBlock(block, kKey);
    const std::string expectedText(expected.begin(), std::find(expected.begin(), expected.end(), 0));
    EXPECT_EQ(decoded, expectedText);
    // Map byte 255: the group is deciphered as it stands.
    EXPECT_EQ(DecodeField(encipherBlock(plain) + '\xff'), plain);
}

// Finds texts whose cipher blocks hold both a zero and a genuine 255, and checks that only the zero is
// marked in the map.
TEST(FieldCipher, KeepsGenuine255AndMarksOnlyZeros)
{
    std::mt19937 random(3);
    int found = 0;
    for (int attempt = 0; attempt < 200000 && found < 5; ++attempt) {
        const std::string text = randomText(random, 8);
        const std::string cipher = encipherBlock(text);
        const auto zero = cipher.find('\0');
        const auto genuine = cipher.find('\xff');
        if (zero == std::string::npos || genuine == std::string::npos) {
            continue;
        }
        ++found;
        const std::string group = EncodeField(text);
        const auto map = static_cast<unsigned char>(group[8]);
        EXPECT_EQ(static_cast<unsigned char>(group[genuine]), 0xff);
        EXPECT_EQ(map & (1u << genuine), 0u);
        EXPECT_NE(map & (1u << zero), 0u);
        EXPECT_EQ(DecodeField(group), text);
    }
    EXPECT_EQ(found, 5);
}

TEST(FieldCipher, TheBlockThatEnciphersToZerosIsTheOneThatDoesNotComeBack)
{
    const std::string block(kUncarriedBlock, kDesBlockSize);
    EXPECT_EQ(encipherBlock(block), std::string(kDesBlockSize, '\0'));
    // Every byte zero: the map byte has all eight bits set, which is also the map of "no zeros".
    EXPECT_EQ(EncodeField(block), std::string(kCipherGroupSize, '\xff'));
    EXPECT_NE(DecodeField(EncodeField(block)), block);
    // Only that block is lost: the text around it comes back.
    const std::string decoded = DecodeField(EncodeField("12345678" + block + "x"));
    EXPECT_EQ(decoded.substr(0, 8), "12345678");
    EXPECT_EQ(decoded.substr(decoded.size() - 1), "x");
}

TEST(FieldCipher, TruncatedTrailingGroupDecodesWithoutError)
{
    const std::string text = "first 8!second 8";
    const std::string encoded = EncodeField(text);
    for (std::size_t cut = 10; cut < encoded.size(); ++cut) {
        const std::string decoded = DecodeField(encoded.substr(0, cut));
        EXPECT_EQ(decoded.substr(0, 8), "first 8!") << "cut at " << cut;
        EXPECT_EQ(decoded.find('\0'), std::string::npos) << "cut at " << cut;
    }
}

} // namespace
} // namespace kovrel

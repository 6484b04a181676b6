// SPDX-License-Identifier: GPL-3.0-or-later
#include "des.h"

#include "../support/hex.h"

#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <random>
#include <vector>

namespace kovrel {
namespace {

using test::fromHex;
using test::toHex;

struct KnownAnswer
{
    std::string key;
    std::string plain;
    std::string cipher;
    std::string where;
};

std::ostream& operator<<(std::ostream& out, const KnownAnswer& answer)
{
    return out << answer.where << ": Key " << answer.key << " In " << answer.plain << " Out "
               << answer.cipher;
}

// Reads "Key = …", "In = …", "Out = …" paragraphs of a vector file.
std::vector<KnownAnswer> readVectorFile(const std::filesystem::path& path)
{
    std::vector<KnownAnswer> answers;
    std::ifstream in(path);
    std::string line;
    KnownAnswer current;
    for (int number = 1; std::getline(in, line); ++number) {
        const auto equals = line.find(" = ");
        if (line.empty() || line[0] == '#' || equals == std::string::npos) {
            continue;
        }
        const std::string name = line.substr(0, equals);
        const std::string value = line.substr(equals + 3);
        if (name == "Key") {
            current = {value, {}, {}, path.filename().string() + ":" + std::to_string(number)};
        } else if (name == "In") {
            current.plain = value;
        } else if (name == "Out") {
            current.cipher = value;
            answers.push_back(current);
        }
    }
    return answers;
}

std::vector<KnownAnswer> allKnownAnswers()
{
    std::vector<KnownAnswer> answers;
    for (const auto& entry : std::filesystem::directory_iterator(KOVREL_TEST_DATA_DIR "/des")) {
        const auto fromFile = readVectorFile(entry.path());
        answers.insert(answers.end(), fromFile.begin(), fromFile.end());
    }
    return answers;
}

template <typename Array> Array toArray(const std::string& bytes)
{
    Array array{};
    std::copy_n(bytes.begin(), array.size(), array.begin());
    return array;
}

std::string toString(const DesBlock& block)
{
    return std::string(block.begin(), block.end());
}

class DesKnownAnswer : public testing::TestWithParam<KnownAnswer>
{};

TEST_P(DesKnownAnswer, EnciphersAndDeciphers)
{
    const KnownAnswer& answer = GetParam();
    const auto key = toArray<DesKey>(fromHex(answer.key));
    const auto plain = toArray<DesBlock>(fromHex(answer.plain));
    const auto cipher = toArray<DesBlock>(fromHex(answer.cipher));
    EXPECT_EQ(toHex(toString(DesEncryptBlock(plain, key))), answer.cipher);
    EXPECT_EQ(toHex(toString(DesDecryptBlock(cipher, key))), answer.plain);
}

INSTANTIATE_TEST_SUITE_P(PublishedVectors, DesKnownAnswer, testing::ValuesIn(allKnownAnswers()));

TEST(Des, PublishedVectorFilesAreAllRead)
{
    // Tables B.1 to B.4 of SP 800-17 and the two single cases.
    EXPECT_EQ(allKnownAnswers().size(), 64u + 56u + 32u + 19u + 2u);
}

// Rivest's recurrence: sixteen alternating encipherings and decipherings, each under its own input as
// key, catch every single fault in the tables and the rounds.
TEST(Des, RivestRecurrence)
{
    auto x = toArray<DesBlock>(fromHex("9474B8E8C73BCA7D"));
    for (int i = 0; i < 16; ++i) {
        x = i % 2 == 0 ? DesEncryptBlock(x, x) : DesDecryptBlock(x, x);
    }
    EXPECT_EQ(toHex(toString(x)), "1B1A2DDB4C642438");
}

DesBlock opensslEncrypt(const DesBlock& block, const DesKey& key)
{
    DES_cblock keyBlock;
    std::copy(key.begin(), key.end(), keyBlock);
    DES_key_schedule schedule;
    DES_set_key_unchecked(&keyBlock, &schedule);
    DES_cblock in;
    std::copy(block.begin(), block.end(), in);
    DES_cblock out;
    DES_ecb_encrypt(&in, &out, &schedule, DES_ENCRYPT);
    DesBlock result;
    std::copy(std::begin(out), std::end(out), result.begin());
    return result;
}

TEST(Des, AgreesWithOpenSslOnRandomBlocksAndKeys)
{
    std::mt19937_64 random(20261208);
    for (int i = 0; i < 5000; ++i) {
        DesBlock block;
        DesKey key;
        std::generate(block.begin(), block.end(), [&] { return static_cast<std::uint8_t>(random()); });
        std::generate(key.begin(), key.end(), [&] { return static_cast<std::uint8_t>(random()); });
        const DesBlock cipher = DesEncryptBlock(block, key);
        ASSERT_EQ(toHex(toString(cipher)), toHex(toString(opensslEncrypt(block, key)))) << "case " << i;
        ASSERT_EQ(DesDecryptBlock(cipher, key), block) << "case " << i;
    }
}

// The schedule runs several blocks side by side; every block count must give what one block at a time
// gives, in place or not.
TEST(Des, BlockRunsMatchSingleBlocks)
{
    const DesKey key = toArray<DesKey>(std::string("58203716"));
    const DesKeySchedule schedule(key);
    std::mt19937 random(7);
    for (std::size_t count = 0; count <= 11; ++count) {
        std::vector<std::uint8_t> plain(count * kDesBlockSize);
        std::generate(plain.begin(), plain.end(), [&] { return static_cast<std::uint8_t>(random()); });
        std::vector<std::uint8_t> cipher(plain.size());
        schedule.encrypt(plain.data(), cipher.data(), count);
        for (std::size_t block = 0; block < count; ++block) {
            DesBlock one;
            std::copy_n(plain.begin() + block * kDesBlockSize, kDesBlockSize, one.begin());
            const DesBlock expected = DesEncryptBlock(one, key);
            EXPECT_TRUE(std::equal(expected.begin(), expected.end(), cipher.begin() + block * kDesBlockSize))
                << count << " blocks, block " << block;
        }
        schedule.decrypt(cipher.data(), cipher.data(), count);
        EXPECT_EQ(cipher, plain) << count << " blocks";
    }
}

} // namespace
} // namespace kovrel

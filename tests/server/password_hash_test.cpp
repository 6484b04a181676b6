// SPDX-License-Identifier: GPL-3.0-or-later
#include "password_hash.h"

#include "../support/hex.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

namespace kovrel::server {
namespace {

struct KnownAnswer
{
    std::string password;
    std::string salt;
    ScryptCost cost;
    std::string key;
    std::string where;
};

std::ostream& operator<<(std::ostream& out, const KnownAnswer& answer)
{
    return out << answer.where << ": P \"" << answer.password << "\" S \"" << answer.salt << "\"";
}

unsigned log2Of(const std::string& number)
{
    unsigned log2 = 0;
    while ((1ull << log2) < std::stoull(number)) {
        ++log2;
    }
    return log2;
}

// Reads "P = …", "S = …", "N = …", "r = …", "p = …", "DK = …" paragraphs of a vector file.
std::vector<KnownAnswer> readVectorFile(const std::filesystem::path& path)
{
    std::vector<KnownAnswer> answers;
    std::ifstream in(path);
    KnownAnswer current;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const auto equals = line.find(" =");
        if (line.empty() || line[0] == '#' || equals == std::string::npos) {
            continue;
        }
        const std::string name = line.substr(0, equals);
        const std::string value = line.size() > equals + 3 ? line.substr(equals + 3) : std::string();
        if (name == "P") {
            current = {value, {}, {}, {}, path.filename().string() + ":" + std::to_string(number)};
        } else if (name == "S") {
            current.salt = value;
        } else if (name == "N") {
            current.cost.log2N = log2Of(value);
        } else if (name == "r") {
            current.cost.r = static_cast<std::uint32_t>(std::stoul(value));
        } else if (name == "p") {
            current.cost.p = static_cast<std::uint32_t>(std::stoul(value));
        } else if (name == "DK") {
            current.key = test::fromHex(value);
            answers.push_back(current);
        }
    }
    return answers;
}

TEST(AccountPassword, ScryptGivesThePublishedKeysAndAHashOfThemMatchesOnlyItsPassword)
{
    const std::vector<KnownAnswer> answers = readVectorFile(KOVREL_TEST_DATA_DIR "/scrypt/rfc7914.vec");
    ASSERT_EQ(answers.size(), 3u);
    for (const KnownAnswer& answer : answers) {
        EXPECT_EQ(test::toHex(deriveKey(answer.password, answer.salt, answer.cost, answer.key.size())),
                  test::toHex(answer.key))
            << answer;
        const std::string text = PasswordHash{answer.cost, answer.salt, answer.key}.text();
        EXPECT_TRUE(passwordMatches(answer.password, text)) << answer;
        EXPECT_FALSE(passwordMatches(answer.password + "x", text)) << answer;
    }
}

TEST(AccountPassword, ANewHashSaysItsCostAndSaltAndIsSaltedAfresh)
{
    const std::string first = hashPassword("correct horse");
    const std::string second = hashPassword("correct horse");
    const std::regex form(R"(\$scrypt\$ln=15,r=8,p=1\$[A-Za-z0-9+/]{22}\$[A-Za-z0-9+/]{43})");
    EXPECT_TRUE(std::regex_match(first, form)) << first;
    EXPECT_NE(first, second);
    const std::optional<PasswordHash> parsed = PasswordHash::parse(first);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->cost, ScryptCost{});
    EXPECT_EQ(parsed->salt.size(), PasswordHash::kSaltSize);
    EXPECT_EQ(parsed->key.size(), PasswordHash::kKeySize);
    EXPECT_EQ(parsed->text(), first);
    EXPECT_TRUE(passwordMatches("correct horse", first));
    EXPECT_TRUE(passwordMatches("correct horse", second));
    EXPECT_FALSE(passwordMatches("correct horse ", first));
}

TEST(AccountPassword, TextsOfAnotherFormOrOfTooHighACostMatchNothing)
{
    const std::string key = "$" + std::string(43, 'A');
    const std::string bad[] = {
        "",
        "secret",
        "$scrypt$ln=15,r=8,p=1$c2FsdA" + key.substr(0, 1), // no key
        "$scrypt$ln=15,r=8$c2FsdA" + key,                  // no p
        "$scrypt$ln=15,r=8,p=1,x=2$c2FsdA" + key,          // more than scrypt's
        "$scrypt$r=8,ln=15,p=1$c2FsdA" + key,              // another order
        "$scrypt$ln=0,r=8,p=1$c2FsdA" + key,               // N = 1
        "$scrypt$ln=15,r=0,p=1$c2FsdA" + key,              // no blocks
        "$scrypt$ln=15,r=8,p=17$c2FsdA" + key,             // p beyond 16
        "$scrypt$ln=20,r=8,p=1$c2FsdA" + key,              // 1 GiB
        "$scrypt$ln=15,r=8,p=1$c2FsdA==" + key,            // padded
        "$scrypt$ln=15,r=8,p=1$c2Fsd*" + key,              // not base64
        "$scrypt$ln=15,r=8,p=1$c2FsdB" + key,              // stray bits
        "$argon2id$v=19$m=65536,t=3,p=4$c2FsdA" + key,     // another function
        "$scrypt$ln=+15,r=8,p=1$c2FsdA" + key,             // a sign
        "$scrypt$ln=15,r=8,p=1$c2FsdA" + key + "$",        // more after the key
    };
    for (const std::string& text : bad) {
        EXPECT_FALSE(PasswordHash::parse(text)) << text;
        EXPECT_FALSE(passwordMatches("secret", text)) << text;
    }
    EXPECT_TRUE(PasswordHash::parse("$scrypt$ln=15,r=8,p=1$c2FsdA" + key)) << "the well-formed one";
}

} // namespace
} // namespace kovrel::server

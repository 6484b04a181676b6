// SPDX-License-Identifier: GPL-3.0-or-later
#include "message_text.h"

#include "cp1251.h"
#include "packet.h"

#include <gtest/gtest.h>

namespace kovrel::server {
namespace {

TEST(MessageText, ParsesOnlyPlainDottedIpv4Addresses)
{
    EXPECT_EQ(parseDottedIpv4("0.0.0.0"), 0u);
    EXPECT_EQ(parseDottedIpv4("192.168.1.254"), 0xc0a801feu);
    EXPECT_EQ(parseDottedIpv4("255.255.255.255"), 0xffffffffu);
    for (const char* text :
         {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.04", "1..2.3", "1.2.3.4 ", " 1.2.3.4", "1.2.3.x",
          "-1.2.3.4", "1.2.3.4.", "0x1.2.3.4", "1234.1.1.1", "Vasya"}) {
        EXPECT_EQ(parseDottedIpv4(text), std::nullopt) << text;
    }
}

TEST(MessageText, AcceptsNicksThatShowAsThemselves)
{
    for (const std::string& nick : {std::string("Vasya"), cp1251::fromUtf8("Вася Пупкин"), std::string("a"),
                                    std::string(kMaxNickSize, 'z'), std::string("x.y_z-1 (home)")}) {
        EXPECT_TRUE(isValidNick(nick)) << nick;
    }
    for (const std::string& nick :
         {std::string(), std::string("   "), std::string("a|b"), std::string("a\x7f"), std::string("a\x01"),
          std::string(kMaxNickSize + 1, 'z'), std::string(" a"), std::string("a "), std::string("a\xa0"),
          std::string("10.0.0.7")}) {
        EXPECT_FALSE(isValidNick(nick)) << nick;
    }
}

TEST(MessageText, NicksThatReadTheSameShareASkeletonAndOthersDoNot)
{
    const std::string admin = nickSkeleton("admin");
    for (const char* lookAlike : {"ADMIN", "аdmin", "АDМIN", "admіn", "adm1n", "admln", "ADMlN"}) {
        EXPECT_EQ(nickSkeleton(cp1251::fromUtf8(lookAlike)), admin) << lookAlike;
    }
    EXPECT_EQ(nickSkeleton(cp1251::fromUtf8("ВОР")), nickSkeleton("BOP"));
    EXPECT_EQ(nickSkeleton(cp1251::fromUtf8("ТеХ")), nickSkeleton("TEX"));
    EXPECT_EQ(nickSkeleton(cp1251::fromUtf8("ѕеј")), nickSkeleton("sej"));
    for (const char* other : {"admins", "adnim", "Админ", "аdmin2"}) {
        EXPECT_NE(nickSkeleton(cp1251::fromUtf8(other)), admin) << other;
    }
}

TEST(MessageText, FieldsFitUpToTheFramingLimit)
{
    EXPECT_TRUE(fitsInField(std::string(kMaxFieldTextSize, 'x')));
    EXPECT_FALSE(fitsInField(std::string(kMaxFieldTextSize + 1, 'x')));
}

TEST(MessageText, PrintableTextCannotForgeLogLines)
{
    EXPECT_EQ(printable("a\nb\\c\x1b"), "a\\x0ab\\x5cc\\x1b");
    EXPECT_EQ(printable(cp1251::fromUtf8("Вася")), "Вася");
    EXPECT_EQ(printable("abcdef", 3), "abc...");
}

} // namespace
} // namespace kovrel::server

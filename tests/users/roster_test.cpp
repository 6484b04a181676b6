#include "roster.h"

#include <gtest/gtest.h>

namespace kovrel {
namespace {

TEST(StatePictureIndex, FollowsTheStateTheOwnEntryAndTheMark)
{
    EXPECT_EQ(StatePictureIndex("Петя", OnLine, false, "Вася"), 0);
    EXPECT_EQ(StatePictureIndex("Петя", OnLine, true, "Вася"), 1);
    EXPECT_EQ(StatePictureIndex("Вася", OnLine, false, "Вася"), 2);
    EXPECT_EQ(StatePictureIndex("Вася", OnLine, true, "Вася"), 3);
    EXPECT_EQ(StatePictureIndex("вася", OnLine, false, "Вася"), 0) << "the own entry is matched exactly";
    EXPECT_EQ(StatePictureIndex("Петя", OffLine, false, "Вася"), 4);
    EXPECT_EQ(StatePictureIndex("Вася", Away, false, "Вася"), 6)
        << "the own entry away looks like anyone away";
    EXPECT_EQ(StatePictureIndex("Вася", Away, true, "Вася"), 7);
    EXPECT_EQ(StatePictureIndex("Петя", Busy, true, "Вася"), 9);
    EXPECT_EQ(StatePictureIndex("Петя", 17, false, "Вася"), 4) << "unknown codes show as unavailable";
}

TEST(Roster, ReusesAnEntryThatDiffersOnlyInLetterCase)
{
    Roster roster;
    EXPECT_EQ(roster.addOrReuse("Петя"), 0u);
    EXPECT_EQ(roster.addOrReuse("Вася"), 1u);
    roster.at(0).state = Busy;
    roster.at(0).incoming = true;
    roster.at(0).ignored = true;
    EXPECT_EQ(roster.addOrReuse("пЕТЯ"), 0u);
    EXPECT_EQ(roster.size(), 2u);
    EXPECT_EQ(roster.at(0).nick, "пЕТЯ");
    EXPECT_EQ(roster.at(0).state, OnLine);
    EXPECT_FALSE(roster.at(0).incoming);
    EXPECT_TRUE(roster.at(0).ignored) << "the ignore mark stays with the entry";
}

TEST(Roster, LooksUpAndRemovesByExactNick)
{
    Roster roster;
    roster.addOrReuse("Петя");
    roster.addOrReuse("Вася");
    roster.at(1).ignored = true;
    EXPECT_TRUE(roster.isIgnored("Вася"));
    EXPECT_FALSE(roster.isIgnored("вася"));
    EXPECT_FALSE(roster.isIgnored("Никто"));
    EXPECT_EQ(roster.remove("петя"), std::nullopt);
    EXPECT_EQ(roster.remove("Петя"), 0u);
    EXPECT_EQ(roster.find("Вася"), 0u);
    EXPECT_EQ(roster.pictureIndex(0, "Вася"), 2);
}

} // namespace
} // namespace kovrel

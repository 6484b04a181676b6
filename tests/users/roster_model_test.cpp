// SPDX-License-Identifier: GPL-3.0-or-later
#include "roster_model.h"

#include <QSignalSpy>

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

TEST(RosterModel, ReusesAnEntryThatDiffersOnlyInLetterCase)
{
    RosterModel roster;
    EXPECT_EQ(roster.addOrReuse("Петя"), 0);
    EXPECT_EQ(roster.addOrReuse("Вася"), 1);
    roster.setState(0, Busy);
    roster.setIncoming(0, true);
    roster.setIgnored(0, true);
    QSignalSpy inserted(&roster, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&roster, &QAbstractItemModel::dataChanged);
    EXPECT_EQ(roster.addOrReuse("пЕТЯ"), 0);
    EXPECT_EQ(inserted.count(), 0);
    EXPECT_EQ(changed.count(), 1) << "the list view hears of the renamed row";
    EXPECT_EQ(roster.size(), 2);
    EXPECT_EQ(roster.at(0).nick, "пЕТЯ");
    EXPECT_EQ(roster.at(0).state, OnLine);
    EXPECT_FALSE(roster.at(0).incoming);
    EXPECT_TRUE(roster.at(0).ignored) << "the ignore mark stays with the entry";
}

TEST(RosterModel, LooksUpAndRemovesByExactNick)
{
    RosterModel roster;
    roster.setOwnNick("Вася");
    roster.addOrReuse("Петя");
    roster.addOrReuse("Вася");
    roster.setIgnored(1, true);
    EXPECT_TRUE(roster.isIgnored("Вася"));
    EXPECT_FALSE(roster.isIgnored("вася"));
    EXPECT_FALSE(roster.isIgnored("Никто"));
    EXPECT_FALSE(roster.remove("петя"));
    EXPECT_TRUE(roster.remove("Петя"));
    EXPECT_EQ(roster.find("Вася"), 0);
    EXPECT_EQ(roster.findOwnEntry(), 0);
    EXPECT_EQ(roster.pictureIndex(0), 2);
}

TEST(RosterModel, ShowsRowsAsTheListViewAsksForThem)
{
    RosterModel roster;
    roster.addOrReuse("Петя");
    roster.addOrReuse("Вася");
    roster.setState(1, Away);
    const QModelIndex peter = roster.index(0);
    EXPECT_EQ(roster.rowCount(), 2);
    EXPECT_EQ(roster.data(peter, Qt::DisplayRole).toString(), "Петя");
    EXPECT_EQ(roster.data(roster.index(1), RosterModel::PictureRole).toInt(), 6);
    EXPECT_EQ(roster.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "Чатовцы");
    EXPECT_TRUE(roster.flags(peter) & Qt::ItemIsUserCheckable);

    // The check box is the ignore mark: ticking it in the view ignores the user.
    EXPECT_TRUE(roster.setData(peter, Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(roster.isIgnored("Петя"));
    EXPECT_EQ(roster.data(peter, Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Checked);
    EXPECT_FALSE(roster.setData(peter, QStringLiteral("Коля"), Qt::EditRole)) << "nicks are not edited";

    // Becoming the own entry changes the picture of the row.
    QSignalSpy changed(&roster, &QAbstractItemModel::dataChanged);
    roster.setOwnNick("Петя");
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(roster.pictureIndex(0), 2);
}

TEST(RosterModel, AnUnseenLineMarksTheEntryUntilTheUserArrivesAgain)
{
    RosterModel roster;
    roster.addOrReuse("Петя");
    QSignalSpy added(&roster, &RosterModel::entryAdded);
    roster.markUnseenLine(0, "Петя: ау");
    EXPECT_EQ(roster.pictureIndex(0), 1);
    EXPECT_EQ(roster.data(roster.index(0), RosterModel::LastUnseenLineRole).toString(), "Петя: ау");
    roster.setIncoming(0, false);
    EXPECT_EQ(roster.at(0).lastUnseenLine, "Петя: ау") << "seeing the conversation keeps the last line";

    // Arriving again, under another letter case, is a fresh start of the same entry.
    EXPECT_EQ(roster.addOrReuse("ПЕТЯ"), 0);
    EXPECT_EQ(roster.findIgnoringCase("петя"), 0);
    EXPECT_EQ(roster.find("петя"), std::nullopt);
    EXPECT_EQ(roster.at(0).lastUnseenLine, "");
    roster.addOrReuse("Вася");
    ASSERT_EQ(added.count(), 2);
    EXPECT_EQ(added.at(0).at(0).toInt(), 0);
    EXPECT_EQ(added.at(1).at(0).toInt(), 1);
}

} // namespace
} // namespace kovrel

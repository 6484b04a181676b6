// SPDX-License-Identifier: GPL-3.0-or-later
#include "recipients.h"

#include <gtest/gtest.h>

namespace kovrel {
namespace {

std::vector<QString> nicksOf(const std::vector<Recipient>& recipients)
{
    std::vector<QString> nicks;
    for (const Recipient& entry : recipients) {
        nicks.push_back(entry.nick);
    }
    return nicks;
}

std::vector<QString> checkedOf(const std::vector<Recipient>& recipients)
{
    std::vector<QString> nicks;
    for (const Recipient& entry : recipients) {
        if (entry.checked) {
            nicks.push_back(entry.nick);
        }
    }
    return nicks;
}

class RecipientsTest : public testing::Test
{
protected:
    RecipientsTest()
    {
        roster.setOwnNick("Вася");
        for (const char* nick : {"Петя", "вася", "Маша", "Коля", "Оля"}) {
            roster.addOrReuse(QString::fromUtf8(nick));
        }
    }

    RosterModel roster;
};

TEST_F(RecipientsTest, OfferEveryoneButOneselfAndTheIgnoredWithTheShownPartnerChecked)
{
    roster.setIgnored(2, true); // Маша
    roster.setIgnored(3, true); // Коля, next to her: both go
    const std::vector<Recipient> recipients = FillRecipients(roster, QStringLiteral("оля"));
    EXPECT_EQ(nicksOf(recipients), (std::vector<QString>{"Петя", "Оля"}))
        << "the own entry is found in any letter case";
    EXPECT_EQ(checkedOf(recipients), std::vector<QString>{"Оля"});
    EXPECT_TRUE(checkedOf(FillRecipients(roster, std::nullopt)).empty()) << "nobody on the common page";
    EXPECT_TRUE(checkedOf(FillRecipients(roster, QStringLiteral("Маша"))).empty())
        << "an ignored partner is not offered";
}

TEST_F(RecipientsTest, CarryTheStatePicturesOfTheRoster)
{
    roster.setState(0, Busy);
    roster.setIncoming(4, true);
    const std::vector<Recipient> recipients = FillRecipients(roster, std::nullopt);
    EXPECT_EQ(recipients.front().picture, StatePictureIndex("Петя", Busy, false, "Вася"));
    EXPECT_EQ(recipients.back().picture, StatePictureIndex("Оля", OnLine, true, "Вася"));
}

TEST_F(RecipientsTest, ARefreshKeepsTheChecksAndFollowsNeitherArrivalsNorDepartures)
{
    std::vector<Recipient> recipients = FillRecipients(roster, std::nullopt);
    recipients[0].checked = true; // Петя
    recipients[2].checked = true; // Коля
    roster.addOrReuse("Новенький");
    roster.remove("Маша");
    roster.setState(*roster.find("Петя"), Away);
    roster.setIgnored(*roster.find("Коля"), true);
    RefreshRecipients(recipients, roster);
    EXPECT_EQ(nicksOf(recipients), (std::vector<QString>{"Петя", "Маша", "Оля"}));
    EXPECT_EQ(checkedOf(recipients), std::vector<QString>{"Петя"});
    EXPECT_EQ(recipients[0].picture, StatePictureIndex("Петя", Away, false, "Вася"));
}

} // namespace
} // namespace kovrel

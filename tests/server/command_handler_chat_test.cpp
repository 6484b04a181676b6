// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_handler.h"

#include "handler_fixture.h"
#include "packet.h"

#include <gtest/gtest.h>

namespace kovrel::server::test {
namespace {

using ChatTest = HandlerTest;

const std::string kStyleValues = "204|255|-13|1|0|0|0|Times New Roman";

TEST_F(ChatTest, APublicMessageReachesEveryoneUnderTheRealNickWithItsStyleInOneDelivery)
{
    FakeConnection& vasya = login(utf8("Вася"));
    FakeConnection& petya = login(utf8("Петя"));
    send(vasya, "TextStyle|AllUser|" + kStyleValues);
    // Claims to be Петя: goes out as Вася.
    send(vasya, utf8("AllUser|Петя|привет | всем"));

    const Fields expected = {"TextStyle|AllUser|" + kStyleValues, utf8("AllUser|Вася|привет | всем")};
    ASSERT_EQ(petya.participant->deliveries().size(), 1u);
    EXPECT_EQ(vasya.participant->deliveries().front().get(), petya.participant->deliveries().front().get());
    EXPECT_EQ(received(petya), expected);
    EXPECT_EQ(received(vasya), expected);
}

TEST_F(ChatTest, AStyleTheClientCouldNotReadIsReplacedByTheDefaultStyle)
{
    FakeConnection& vasya = login("Vasya");
    for (const std::string& style :
         {std::string("AllUser|204|red|-13|0|0|0|0|Arial"), std::string("AllUser|204|0|-13|0|0|0"),
          std::string("AllUser"), std::string("AllUser|99999999999|0|-13|0|0|0|0|Arial")}) {
        send(vasya, "TextStyle|" + style);
        send(vasya, "AllUser|Vasya|hi");
        EXPECT_EQ(received(vasya), (Fields{"ClearTextStyle|", "AllUser|Vasya|hi"})) << style;
    }
    // A style is used once: the next message without one goes with the default.
    send(vasya, "TextStyle|AllUser|" + kStyleValues);
    send(vasya, "AllUser|Vasya|one");
    send(vasya, "AllUser|Vasya|two");
    EXPECT_EQ(received(vasya), (Fields{"TextStyle|AllUser|" + kStyleValues, "AllUser|Vasya|one",
                                       "ClearTextStyle|", "AllUser|Vasya|two"}));
}

TEST_F(ChatTest, APrivateMessageReachesTheAddresseeAndEchoesToTheSenderOnly)
{
    FakeConnection& vasya = login("Vasya");
    FakeConnection& petya = login("Petya");
    FakeConnection& kolya = login("Kolya");
    send(vasya, "TextStyle|PrivatUser|Kolya|petya|" + kStyleValues);
    send(vasya, "PrivatUser|Kolya|petya|see you | at 5");

    const Fields expected = {"TextStyle|PrivatUser|Vasya|Petya|" + kStyleValues,
                             "PrivatUser|Vasya|Petya|see you | at 5"};
    EXPECT_EQ(received(petya), expected);
    EXPECT_EQ(received(vasya), expected);
    EXPECT_TRUE(received(kolya).empty());
}

TEST_F(ChatTest, APrivateMessageToAnAbsentUserEchoesAndTellsTheSenderTheAddresseeIsGone)
{
    FakeConnection& vasya = login("Vasya");
    FakeConnection& petya = login("Petya");
    send(vasya, "TextStyle|PrivatUser|Vasya|Masha|" + kStyleValues);
    send(vasya, "PrivatUser|Vasya|Masha|are you there?");

    EXPECT_EQ(received(vasya), (Fields{"TextStyle|PrivatUser|Vasya|Masha|" + kStyleValues,
                                       "PrivatUser|Vasya|Masha|are you there?", "DelUser|Masha"}));
    EXPECT_TRUE(received(petya).empty());

    // No nick at all: the echo only.
    send(vasya, "PrivatUser|Vasya||hello");
    EXPECT_EQ(received(vasya), (Fields{"ClearTextStyle|", "PrivatUser|Vasya||hello"}));
}

TEST_F(ChatTest, APrivateMessageToOneselfArrivesOnce)
{
    FakeConnection& vasya = login("Vasya");
    send(vasya, "PrivatUser|Vasya|VASYA|note to self");
    EXPECT_EQ(received(vasya), (Fields{"ClearTextStyle|", "PrivatUser|Vasya|Vasya|note to self"}));
}

TEST_F(ChatTest, AFloodIsCutToTheRateLimitAndRecovers)
{
    FakeConnection& flooder = login("Flooder");
    FakeConnection& reader = login("Reader");
    now += std::chrono::seconds(10); // a quiet spell fills the bucket
    for (int i = 0; i < 100; ++i) {
        send(flooder, "AllUser|Flooder|" + std::to_string(i));
    }
    EXPECT_EQ(received(reader).size(), 2u * 40); // the burst, each message with its style field

    now += std::chrono::milliseconds(500);
    for (int i = 0; i < 100; ++i) {
        send(flooder, "AllUser|Flooder|" + std::to_string(i));
    }
    EXPECT_EQ(received(reader).size(), 2u * 10);

    // Requests answered to the sender alone are not limited.
    for (int i = 0; i < 100; ++i) {
        send(flooder, "ExistUser|Reader");
    }
    EXPECT_EQ(received(flooder).size(), 2u * 50 + 100);
}

TEST_F(ChatTest, AMessageThatNoLongerFitsAFieldUnderTheRealNickIsDropped)
{
    FakeConnection& longNick = login(std::string(64, 'n'));
    const std::string prefix = "AllUser||";
    send(longNick, prefix + std::string(kMaxFieldTextSize - prefix.size(), 'x'));
    send(longNick, "PrivatUser|||" + std::string(kMaxFieldTextSize - 13, 'x'));
    EXPECT_TRUE(received(longNick).empty());

    FakeConnection& asker = login("asker");
    send(asker, "GetInfo|" + std::string(kMaxFieldTextSize - 8, 'x'));
    EXPECT_TRUE(received(asker).empty());
}

TEST_F(ChatTest, StateCodesZeroToThreeAreKeptAndAnnounced)
{
    FakeConnection& vasya = login("Vasya");
    FakeConnection& petya = login("Petya");
    for (const char* message : {"StateUser|Petya|3", "StateUser|Vasya|4", "StateUser|Vasya|-1",
                                "StateUser|Vasya|x", "StateUser|Vasya|", "StateUser|Vasya|02"}) {
        send(vasya, message);
    }
    EXPECT_EQ(received(petya), Fields{"StateUser|Vasya|3"});
    EXPECT_EQ(room.find("Vasya")->state, 3);
}

TEST_F(ChatTest, TheTopicIsKeptAndAnnouncedAndCanBeCleared)
{
    FakeConnection& vasya = login("Vasya");
    FakeConnection& petya = login("Petya");
    send(vasya, "Topic|lunch | at one");
    EXPECT_EQ(room.topic(), "lunch | at one");
    send(petya, "Topic|");
    EXPECT_EQ(room.topic(), "");
    send(petya, "Topic|" + std::string(Room::kMaxTopicSize + 1, 't'));

    EXPECT_EQ(received(vasya), (Fields{"Topic|lunch | at one", "Topic|"}));
}

TEST_F(ChatTest, GetIPUserAnswersTheAddressTheServerSeesOrAReadableUnknown)
{
    login("Vasya", "172.16.5.4");
    FakeConnection& petya = login("Petya");
    send(petya, "GetIPUser|vasya");
    send(petya, "GetIPUser|Masha");

    const Fields answers = received(petya);
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0], "GetIPUser|172.16.5.4");
    EXPECT_TRUE(answers[1].starts_with("GetIPUser|")) << answers[1];
    EXPECT_NE(answers[1], "GetIPUser|-1");
    EXPECT_GT(answers[1].size(), std::string("GetIPUser|").size());
}

TEST_F(ChatTest, CardsAreKeptUnderTheRealNickAndOutliveTheUser)
{
    const std::string card =
        "Ivan|Petrov|RU|Tver|Lenina 1|111|222|i@p.ru|http://|123|Likes | tea\r\nand cake";
    FakeConnection& vasya = login(utf8("Вася"));
    FakeConnection& petya = login("Petya");
    send(vasya, "SetInfo|Petya|" + card);
    send(petya, "GetInfo|" + utf8("вася"));
    EXPECT_EQ(received(petya), Fields{utf8("GetInfo|Вася|") + card});

    send(vasya, "DelUser|" + utf8("Вася"));
    received(petya);
    send(petya, "GetInfo|" + utf8("ВАСЯ"));
    EXPECT_EQ(received(petya), Fields{utf8("GetInfo|Вася|") + card});
    EXPECT_EQ(room.findCard("Petya"), nullptr);
}

TEST_F(ChatTest, ANickThatNeverPublishedACardGetsNotAvailableInEveryField)
{
    FakeConnection& petya = login("Petya");
    send(petya, "GetInfo|Masha");
    EXPECT_EQ(received(petya), Fields{"GetInfo|Masha|N/A|N/A|N/A|N/A|N/A|N/A|N/A|N/A|N/A|N/A|N/A"});
}

TEST_F(ChatTest, ACardTooLongToKeepIsIgnored)
{
    FakeConnection& vasya = login("Vasya");
    send(vasya, "SetInfo|Vasya|" + std::string(CardBook::kMaxFieldsSize + 1, 'c'));
    EXPECT_EQ(room.findCard("Vasya"), nullptr);
}

} // namespace
} // namespace kovrel::server::test

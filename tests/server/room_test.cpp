// SPDX-License-Identifier: GPL-3.0-or-later
#include "room.h"

#include "change_log.h"
#include "fake_participant.h"
#include "packet.h"

#include <gtest/gtest.h>

namespace kovrel::server {
namespace {

using test::ChangeLog;
using test::FakeParticipant;
using test::makeParticipant;
using Fields = std::vector<std::string>;

class RoomTest : public ::testing::Test
{
protected:
    std::shared_ptr<FakeParticipant> joined(std::string_view nick)
    {
        auto participant = makeParticipant();
        EXPECT_TRUE(room.join(participant, nick));
        return participant;
    }

    Room room;
};

TEST_F(RoomTest, AParticipantJoinsOnlyOnce)
{
    auto vasya = joined("Vasya");
    EXPECT_FALSE(room.join(vasya, "Another"));
    EXPECT_EQ(room.size(), 1u);
}

TEST_F(RoomTest, BroadcastHandsEveryMemberTheSameBytes)
{
    auto a = joined("a");
    auto b = joined("b");
    const SharedBytes bytes = std::make_shared<const std::string>(BuildPacket({"Topic|x"}));
    room.broadcast(bytes);

    EXPECT_EQ(a->deliveries().back().get(), bytes.get());
    EXPECT_EQ(b->deliveries().back().get(), bytes.get());
}

TEST_F(RoomTest, LeavingIsAnnouncedToEveryoneTheLeaverIncluded)
{
    auto a = joined("a");
    auto b = joined("b");
    a->takeFields();
    b->takeFields();

    room.leave(*a);
    EXPECT_EQ(a->takeFields(), Fields{"DelUser|a"});
    EXPECT_EQ(b->takeFields(), Fields{"DelUser|a"});
    EXPECT_EQ(room.find("a"), nullptr);

    room.leave(*a);
    EXPECT_TRUE(b->takeFields().empty());
    EXPECT_TRUE(room.join(makeParticipant(), "A"));
}

TEST_F(RoomTest, UserListNamesMembersInArrivalOrderThenStatesThenTopic)
{
    auto a = joined("a");
    auto b = joined("b");
    auto c = joined("c");
    room.setState(*c, 3);
    room.setState(*a, 1);
    room.setTopic("planning at 10");

    const auto reader = [&] {
        FakeParticipant listener;
        listener.deliver(room.userList());
        return listener.takeFields();
    };
    EXPECT_EQ(reader(), (Fields{"GetUser|a", "GetUser|b", "GetUser|c", "StateUser|a|1", "StateUser|c|3",
                                "Topic|planning at 10"}));

    // Every change shows in the next list.
    room.setState(*a, 0);
    room.leave(*b);
    room.setTopic("");
    EXPECT_EQ(reader(), (Fields{"GetUser|a", "GetUser|c", "StateUser|c|3"}));
}

TEST_F(RoomTest, UserListOfAnEmptyRoomWithoutTopicIsNothing)
{
    EXPECT_EQ(room.userList(), nullptr);
    room.setTopic("t");
    EXPECT_NE(room.userList(), nullptr);
}

TEST_F(RoomTest, ReportsTopicAndCardChangesAndALogInRefreshesTheCard)
{
    ChangeLog sink;
    room.setKeptStateSink(&sink);
    room.publishCard("Vasya", "card", "10.0.0.1");
    auto vasya = joined("VASYA");
    room.setState(*vasya, 1);
    room.setTopic("t");
    room.setTopic("t");
    auto petya = joined("Petya"); // no card to refresh

    EXPECT_EQ(sink.changes, (Fields{"card Vasya", "card Vasya", "topic t"}));
}

TEST_F(RoomTest, RestoresTopicAndCardsWithoutReportingThem)
{
    ChangeLog sink;
    room.setKeptStateSink(&sink);
    const StoredState state{
        "kept topic", {{"vasya", {"Vasya", "a|b", "10.0.0.1", 5}, 3}, {"petya", {"Petya", "c|d", "", 7}, 9}}};
    room.restore(state);

    EXPECT_EQ(room.topic(), "kept topic");
    ASSERT_NE(room.findCard("PETYA"), nullptr);
    EXPECT_EQ(room.findCard("PETYA")->fields, "c|d");
    EXPECT_EQ(room.keptState(), state);
    EXPECT_TRUE(sink.changes.empty());
}

} // namespace
} // namespace kovrel::server

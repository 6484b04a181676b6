#include "room.h"

#include "fake_participant.h"
#include "packet.h"

#include <gtest/gtest.h>

namespace kovrel::server {
namespace {

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

TEST_F(RoomTest, ReportsChangesWorthSavingOnly)
{
    int changes = 0;
    room.onKeptStateChanged([&] { ++changes; });
    auto a = joined("a");
    room.setState(*a, 1);
    EXPECT_EQ(changes, 0);

    room.setTopic("t");
    room.setTopic("t");
    EXPECT_EQ(changes, 1);

    room.publishCard("a", "card");
    room.publishCard("a", "card");
    EXPECT_EQ(changes, 2);
    room.publishCard("a", "new card");
    EXPECT_EQ(changes, 3);
}

TEST_F(RoomTest, RestoresTopicAndCards)
{
    room.restore({"kept topic", {{"Vasya", "a|b"}, {"Petya", "c|d"}}});

    EXPECT_EQ(room.topic(), "kept topic");
    ASSERT_NE(room.findCard("petya"), nullptr);
    EXPECT_EQ(room.findCard("petya")->fields, "c|d");
    EXPECT_EQ(room.keptState(), (KeptState{"kept topic", {{"Vasya", "a|b"}, {"Petya", "c|d"}}}));
}

} // namespace
} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
// The room and the command handling of a cluster node, with a recording link in place of Redis.

#include "handler_fixture.h"
#include "recording_link.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace kovrel::server::test {
namespace {

class ClusterRoomTest : public HandlerTest
{
protected:
    ClusterRoomTest() { room.setLink(&link); }

    FakeConnection& clusterLogin(std::string_view nick)
    {
        FakeConnection& connection = connect();
        send(connection, "AddUser|" + std::string(nick));
        link.answer(RoomLink::Claim::Granted);
        EXPECT_TRUE(connection.handler.loggedIn()) << nick;
        received(connection);
        return connection;
    }

    RecordingLink link;
};

TEST_F(ClusterRoomTest, MembersOfOtherNodesAreListedAndAnnouncedButReceiveNothingHere)
{
    FakeConnection& vasya = clusterLogin("Vasya");
    EXPECT_TRUE(room.addRemote("node-b", "Petya", "10.1.1.1", 2));
    EXPECT_EQ(received(vasya), (Fields{"AddUser|Petya", "StateUser|Petya|2"}));
    // Look-alikes collide with a member of another node as with one of this node.
    EXPECT_TRUE(room.nickTaken(utf8("Реtya")));
    EXPECT_FALSE(room.addRemote("node-c", "PETYA", "10.1.1.2", 0));

    send(vasya, "GetUser|Vasya");
    EXPECT_EQ(received(vasya), (Fields{"GetUser|Vasya", "GetUser|Petya", "StateUser|Petya|2"}));
    send(vasya, "GetIPUser|petya");
    EXPECT_EQ(received(vasya), (Fields{"GetIPUser|10.1.1.1"}));

    send(vasya, "AllUser|Vasya|hello");
    ASSERT_EQ(link.chats.size(), 1u);
    EXPECT_EQ(vasya.participant->deliveries().back().get(), link.chats.back().get());
    received(vasya);

    send(vasya, "PrivatUser|Vasya|petya|psst");
    ASSERT_EQ(link.privates.size(), 1u);
    EXPECT_EQ(link.privates[0].first, "node-b Petya");
    EXPECT_EQ(received(vasya).back(), "PrivatUser|Vasya|Petya|psst");

    room.removeRemote("Petya");
    EXPECT_EQ(received(vasya), (Fields{"DelUser|Petya"}));
    EXPECT_EQ(room.size(), 1u);
}

TEST_F(ClusterRoomTest, WhatAMemberHereDoesIsToldToTheLink)
{
    FakeConnection& vasya = clusterLogin("Vasya");
    send(vasya, "StateUser|Vasya|1");
    send(vasya, "Topic|Friday");
    send(vasya, "DelUser|Vasya");
    EXPECT_EQ(link.events, (Fields{"join Vasya", "state Vasya 1", "topic Friday", "leave Vasya"}));
}

TEST_F(ClusterRoomTest, ALogInWaitsForTheClaimAndIsRefusedWhenTheNickIsTakenElsewhere)
{
    FakeConnection& client = connect();
    send(client, "AddUser|Vasya");
    EXPECT_FALSE(client.handler.loggedIn());
    EXPECT_EQ(link.claims, (Fields{"Vasya"}));
    link.answer(RoomLink::Claim::Taken);
    EXPECT_FALSE(client.handler.loggedIn());
    EXPECT_EQ(received(client), (Fields{"Disconnect|"}));

    FakeConnection& other = connect();
    send(other, "AddUser|Vasya");
    link.answer(RoomLink::Claim::Unavailable);
    EXPECT_EQ(received(other), (Fields{"Disconnect|"}));
    EXPECT_NE(logText.str().find("cluster unreachable"), std::string::npos);
    EXPECT_EQ(room.size(), 0u);
}

TEST_F(ClusterRoomTest, ANewcomerHearsWhoCameAndWentWhileItsClaimWasUnderWay)
{
    FakeConnection& vasya = clusterLogin("Vasya");
    room.addRemote("node-b", "Petya", "10.1.1.1", 0);
    FakeConnection& anna = connect();
    send(anna, "GetUser|Anna");
    send(anna, "AddUser|Anna");
    EXPECT_EQ(received(anna), (Fields{"GetUser|Vasya", "GetUser|Petya"}));

    room.removeRemote("Petya");
    room.addRemote("node-c", "Olga", "10.1.1.3", 3);
    send(vasya, "DelUser|Vasya");
    link.answer(RoomLink::Claim::Granted);
    EXPECT_EQ(received(anna),
              (Fields{"DelUser|Petya", "DelUser|Vasya", "AddUser|Olga", "StateUser|Olga|3", "AddUser|Anna"}));
}

TEST_F(ClusterRoomTest, AClaimGrantedAfterTheClientLoggedOutIsGivenBack)
{
    FakeConnection& client = connect();
    send(client, "AddUser|Vasya");
    send(client, "DelUser|Vasya");
    link.answer(RoomLink::Claim::Granted);
    EXPECT_FALSE(client.handler.loggedIn());
    EXPECT_EQ(link.events, (Fields{"release Vasya"}));
    EXPECT_EQ(room.size(), 0u);
}

} // namespace
} // namespace kovrel::server::test

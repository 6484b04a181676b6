// SPDX-License-Identifier: GPL-3.0-or-later
// The rooms of several threads of one server, linked by a ShardHub. Each thread's event loop runs only when
// the test lets the news travel, so that the test sees what each thread knows in between.

#include "shard_hub.h"

#include "change_log.h"
#include "handler_fixture.h"
#include "recording_link.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

namespace kovrel::server::test {
namespace {

const std::string kCard = "Boris|Petrov|RU|Tver|N/A|N/A|N/A|boris@example.org|http://|N/A|Tea";

// The threads learn of each other's members in their own order.
Fields sorted(Fields fields)
{
    std::sort(fields.begin(), fields.end());
    return fields;
}

bool contains(const Fields& fields, const std::string& field)
{
    return std::find(fields.begin(), fields.end(), field) != fields.end();
}

class ShardHubTest : public ::testing::Test
{
protected:
    struct Thread
    {
        asio::io_context io;
        Room room;
    };

    ShardHubTest() : log(logText, true)
    {
        for (Thread& thread : threads) {
            hub.attach(thread.io, thread.room);
        }
    }

    FakeConnection& connect(std::size_t thread, std::string address = "192.168.1.10")
    {
        connections.push_back(
            std::make_unique<FakeConnection>(threads[thread].room, blacklist, log, std::move(address)));
        return *connections.back();
    }

    FakeConnection& login(std::size_t thread, std::string_view nick, std::string address = "192.168.1.10")
    {
        FakeConnection& connection = connect(thread, std::move(address));
        send(connection, "AddUser|" + std::string(nick));
        EXPECT_TRUE(connection.handler.loggedIn()) << nick;
        return connection;
    }

    void send(FakeConnection& connection, std::string_view message)
    {
        connection.handler.handle(message, now);
    }
    Fields received(FakeConnection& connection) { return connection.participant->takeFields(); }

    // Runs what the threads were told until none has anything left.
    void travel()
    {
        for (bool ran = true; ran;) {
            ran = false;
            for (Thread& thread : threads) {
                ran = thread.io.poll() > 0 || ran;
                thread.io.restart();
            }
        }
    }

    void forgetReceived()
    {
        for (const auto& connection : connections) {
            received(*connection);
        }
    }

    std::array<Thread, 3> threads;
    ChangeLog store;
    ShardHub hub{&store};
    Blacklist blacklist;
    std::ostringstream logText;
    EventLog log;
    RateLimiter::Clock::time_point now{std::chrono::hours(1)};
    std::vector<std::unique_ptr<FakeConnection>> connections;
};

TEST_F(ShardHubTest, ANickHeldOnOneThreadIsRefusedOnEveryOtherAtOnceEvenAsALookAlike)
{
    FakeConnection& vasya = login(0, "Vasya");
    // The other threads have not heard of Vasya yet; the hub decides all the same.
    FakeConnection& lookAlike = connect(1);
    send(lookAlike, "AddUser|" + utf8("Vаsya"));
    EXPECT_FALSE(lookAlike.handler.loggedIn());
    EXPECT_EQ(received(lookAlike), (Fields{"Disconnect|"}));

    travel();
    FakeConnection& asker = connect(2);
    send(asker, "ExistUser|VASYA");
    EXPECT_EQ(received(asker), (Fields{"ExistUser|1"}));

    send(vasya, "DelUser|Vasya");
    travel();
    send(asker, "ExistUser|VASYA");
    EXPECT_EQ(received(asker), (Fields{"ExistUser|-1"}));
    login(1, "Vasya");
}

TEST_F(ShardHubTest, EveryThreadsMembersHearTheRoomAndAPrivateReachesItsThreadOnly)
{
    FakeConnection& anna = login(0, "Anna", "10.0.0.1");
    FakeConnection& boris = login(1, "Boris", "10.0.0.2");
    FakeConnection& clara = login(2, "Clara", "10.0.0.3");
    travel();
    forgetReceived();

    send(clara, "GetUser|Clara");
    EXPECT_EQ(sorted(received(clara)), (Fields{"GetUser|Anna", "GetUser|Boris", "GetUser|Clara"}));
    send(clara, "GetIPUser|anna");
    EXPECT_EQ(received(clara), (Fields{"GetIPUser|10.0.0.1"}));

    send(anna, "AllUser|Anna|hello");
    travel();
    // Encoded once, on the sender's thread.
    EXPECT_EQ(clara.participant->deliveries().back().get(), anna.participant->deliveries().back().get());
    for (FakeConnection* member : {&anna, &boris, &clara}) {
        EXPECT_EQ(received(*member).back(), "AllUser|Anna|hello");
    }

    send(clara, "PrivatUser|Clara|anna|psst");
    travel();
    EXPECT_EQ(received(anna).back(), "PrivatUser|Clara|Anna|psst");
    EXPECT_EQ(received(boris), Fields{});
}

TEST_F(ShardHubTest, AUserWhoMovesToAnotherThreadIsDroppedOnceAndFoundThere)
{
    FakeConnection& vasya = login(0, "Vasya");
    FakeConnection& watcher = login(2, "Watcher");
    travel();
    forgetReceived();

    send(vasya, "DelUser|Vasya");
    travel();
    FakeConnection& again = login(1, "Vasya");
    travel();
    EXPECT_EQ(received(watcher), (Fields{"DelUser|Vasya", "AddUser|Vasya"}));

    send(watcher, "PrivatUser|Watcher|Vasya|found you");
    travel();
    EXPECT_EQ(received(again).back(), "PrivatUser|Watcher|Vasya|found you");
    EXPECT_EQ(received(vasya), (Fields{"DelUser|Vasya"}));
}

TEST_F(ShardHubTest, StatesTopicAndCardsReachEveryThreadAndTheStoreOnce)
{
    FakeConnection& anna = login(0, "Anna");
    FakeConnection& boris = login(1, "Boris");
    travel();
    forgetReceived();

    send(anna, "StateUser|Anna|2");
    send(boris, "Topic|Friday");
    send(boris, "SetInfo|Boris|" + kCard);
    travel();
    EXPECT_TRUE(contains(received(boris), "StateUser|Anna|2"));
    EXPECT_TRUE(contains(received(anna), "Topic|Friday"));
    EXPECT_EQ(store.changes, (Fields{"topic Friday", "card Boris"}));

    FakeConnection& newcomer = connect(2);
    send(newcomer, "GetUser|Clara");
    EXPECT_EQ(sorted(received(newcomer)),
              (Fields{"GetUser|Anna", "GetUser|Boris", "StateUser|Anna|2", "Topic|Friday"}));
    send(newcomer, "AddUser|Clara");
    received(newcomer);
    send(newcomer, "GetInfo|boris");
    EXPECT_EQ(received(newcomer), (Fields{"GetInfo|Boris|" + kCard}));
}

// The threads of one node of a cluster: the hub reaches the cluster node through a recording link.
class ShardHubClusterTest : public ShardHubTest
{
protected:
    ShardHubClusterTest() { hub.joinCluster(node, cards); }

    FakeConnection& clusterLogin(std::size_t thread, std::string_view nick, std::string address)
    {
        FakeConnection& connection = connect(thread, std::move(address));
        send(connection, "AddUser|" + std::string(nick));
        node.answer(RoomLink::Claim::Granted);
        travel();
        EXPECT_TRUE(connection.handler.loggedIn()) << nick;
        return connection;
    }

    RecordingLink node;
    ChangeLog cards;
};

TEST_F(ShardHubClusterTest, ANickGrantedByTheHubIsClaimedForTheProcessAndTheAnswerReachesItsThread)
{
    FakeConnection& vasya = connect(1);
    send(vasya, "AddUser|Vasya");
    EXPECT_EQ(node.claims, (Fields{"Vasya"}));
    // Refused by the hub at once, with no claim in the cluster.
    FakeConnection& lookAlike = connect(2);
    send(lookAlike, "AddUser|" + utf8("Vаsya"));
    EXPECT_EQ(received(lookAlike), (Fields{"Disconnect|"}));
    EXPECT_EQ(node.claims, (Fields{"Vasya"}));

    node.answer(RoomLink::Claim::Granted);
    EXPECT_FALSE(vasya.handler.loggedIn()); // the answer travels to the thread's own loop
    travel();
    EXPECT_TRUE(vasya.handler.loggedIn());
    EXPECT_EQ(node.events, (Fields{"join Vasya"}));

    // Taken on another node: the hub gives the nick back, and another thread may claim it again.
    FakeConnection& petya = connect(0);
    send(petya, "AddUser|Petya");
    node.answer(RoomLink::Claim::Taken);
    travel();
    EXPECT_FALSE(petya.handler.loggedIn());
    send(connect(2), "AddUser|Petya");
    EXPECT_EQ(node.claims, (Fields{"Vasya", "Petya", "Petya"}));

    send(vasya, "DelUser|Vasya");
    EXPECT_EQ(node.events, (Fields{"join Vasya", "leave Vasya"}));
}

TEST_F(ShardHubClusterTest, ALineIsPublishedOnceAndWhatTheNodeHearsReachesEveryThread)
{
    FakeConnection& anna = clusterLogin(0, "Anna", "10.0.0.1");
    FakeConnection& boris = clusterLogin(1, "Boris", "10.0.0.2");
    FakeConnection& clara = clusterLogin(2, "Clara", "10.0.0.3");
    forgetReceived();

    send(anna, "AllUser|Anna|hello");
    travel();
    EXPECT_EQ(node.chats.size(), 1u);
    EXPECT_EQ(node.chats.front().get(), anna.participant->deliveries().back().get());
    // A line from another node: the same bytes for every thread.
    const SharedBytes line = node.chats.front();
    forgetReceived();
    hub.broadcast(line);
    travel();
    for (FakeConnection* member : {&anna, &boris, &clara}) {
        EXPECT_EQ(member->participant->deliveries().back().get(), line.get());
    }

    hub.placeRemote("far", "Dmitry", "10.0.0.9", 2);
    // A member of this process is never replaced by one another node reports.
    hub.placeRemote("far", "anna", "10.0.0.9", 0);
    travel();
    forgetReceived();
    send(clara, "GetIPUser|Dmitry");
    send(boris, "GetIPUser|anna");
    EXPECT_EQ(received(clara), (Fields{"GetIPUser|10.0.0.9"}));
    EXPECT_EQ(received(boris), (Fields{"GetIPUser|10.0.0.1"}));

    // Privately: to another node through the cluster, within the process from thread to thread.
    send(clara, "PrivatUser|Clara|dmitry|psst");
    ASSERT_EQ(node.privates.size(), 1u);
    EXPECT_EQ(node.privates.front().first, "far Dmitry");
    hub.deliver("boris", node.privates.front().second);
    travel();
    EXPECT_EQ(received(boris).back(), "PrivatUser|Clara|Dmitry|psst");
    EXPECT_EQ(received(anna), Fields{});

    hub.removeRemote("elsewhere", "Dmitry");
    travel();
    EXPECT_EQ(received(anna), Fields{});
    hub.removeRemote("far", "Dmitry");
    travel();
    for (FakeConnection* member : {&anna, &boris, &clara}) {
        EXPECT_EQ(received(*member).back(), "DelUser|Dmitry");
    }
}

} // namespace
} // namespace kovrel::server::test

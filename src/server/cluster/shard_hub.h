// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <asio/io_context.hpp>

#include "kept_state.h"
#include "local_rooms.h"
#include "room.h"
#include "room_link.h"

namespace kovrel::server {

// Lets the threads of one server share one room. Each thread serves its own connections with an event
// loop and a room of its own; its room lists the members of the other threads as well (with no
// participant, the thread's number as their node), as a cluster node lists those of other nodes.
//
// The hub keeps the nicks of every thread, so that a claim is decided at once and for all of them, and
// carries each thread's news to the others by posting it to their event loops: a room is only ever
// touched by its own thread. A change of the nicks and the posting of its news happen under one lock, so
// that every thread hears of the arrivals and departures in the order the hub granted them.
//
// The topic and the cards are kept by every room; what one thread changes is copied to the others and
// reported once to the store.
//
// In a cluster the process is one node: a nick granted here is then claimed for it in Redis, the threads'
// news go once to the cluster node, and what the node hears of the other nodes (as LocalRooms) reaches
// every thread.
class ShardHub : public LocalRooms
{
public:
    // `store` is told of every change of the topic and the cards; null: nobody is.
    explicit ShardHub(KeptStateSink* store = nullptr);
    ~ShardHub() override;
    ShardHub(const ShardHub&) = delete;
    ShardHub& operator=(const ShardHub&) = delete;

    // Links a thread's room to the hub; every room is attached before any thread runs, and the hub
    // outlives the rooms' use of it.
    void attach(asio::io_context& io, Room& room);
    // Makes the process a node of a cluster, reached through `node`, which keeps the topic and the cards
    // in place of a store; before any thread runs.
    void joinCluster(RoomLink& node, KeptStateSink& cards)
    {
        m_cluster = &node;
        m_store = &cards;
    }

    void broadcast(const SharedBytes& bytes) override;
    void deliver(std::string_view nick, const SharedBytes& bytes) override;
    void placeRemote(std::string_view node, std::string_view nick, std::string_view address,
                     int state) override;
    void removeRemote(std::string_view node, std::string_view nick) override;
    void setRemoteState(std::string_view node, std::string_view nick, int state) override;
    void applyTopic(std::string_view topic) override;
    void restoreCard(const StoredCard& card) override;
    void forgetCard(const std::string& key) override;

private:
    class Link;
    class Mirror;

    struct Shard
    {
        asio::io_context* io;
        Room* room;
        std::unique_ptr<Link> link;
        std::unique_ptr<Mirror> mirror;
    };

    // Runs `news` with the room of every thread but `from` (of every thread, when `from` is none), on
    // that thread.
    template <typename News> void tellOthers(std::size_t from, const News& news);
    template <typename News> void tellAll(const News& news) { tellOthers(m_shards.size(), news); }
    template <typename News> void tell(std::size_t shard, News news);
    // The thread whose number names `node`, or none (m_shards.size()) when a node of the cluster does.
    std::size_t threadNamed(std::string_view node) const;

    void claim(std::size_t shard, std::string_view nick, std::string_view address, RoomLink::ClaimDone done);
    // The cluster answered thread `shard`'s claim; its answer goes back to that thread.
    void claimed(std::size_t shard, const std::string& nick, RoomLink::Claim claim, RoomLink::ClaimDone done);
    void release(std::size_t shard, std::string_view nick);
    // Gives the nick back if thread `shard` holds it (true then); with the lock held.
    bool dropClaim(std::size_t shard, std::string_view nick);
    void joined(std::size_t shard, std::string_view nick, std::string_view address);
    void left(std::size_t shard, std::string_view nick);
    void stateChanged(std::size_t shard, std::string_view nick, std::string_view address, int state);
    void topicChanged(std::size_t shard, std::string_view topic);
    void chatSent(std::size_t shard, const SharedBytes& bytes);
    void privateSent(std::string_view node, std::string_view nick, const SharedBytes& bytes);
    void cardStored(std::size_t shard, const StoredCard& card);
    void cardRemoved(std::size_t shard, const std::string& key);

    KeptStateSink* m_store;
    RoomLink* m_cluster = nullptr;
    std::vector<Shard> m_shards; // fixed once the threads run
    std::mutex m_mutex;
    // The thread holding each nick, by what the nick reads as.
    std::unordered_map<std::string, std::size_t> m_claims;
};

} // namespace kovrel::server

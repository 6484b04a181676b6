// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>

#include "account_book.h"
#include "cluster_settings.h"
#include "event_log.h"
#include "event_relay.h"
#include "kept_state.h"
#include "local_rooms.h"
#include "nick_registry.h"
#include "redis_accounts.h"
#include "redis_connection.h"
#include "redis_kept_state.h"
#include "room_link.h"

namespace kovrel::server {

// This process's part in a cluster of servers that share one room through Redis: the NickRegistry claims
// the nicks of its members and reads those of the others, the EventRelay tells the other nodes what its
// members do and brings what theirs do, RedisKeptState keeps the topic and the cards, and RedisAccounts
// copies the accounts into `accounts`. What the other nodes do goes to the rooms of this process, one per
// thread.
//
// One connection sends commands, another receives the channels (a subscribed connection takes no other
// commands). While either is down, log-ins are refused and what cannot be published is counted; the topic
// and the cards changed meanwhile are written to Redis once it is back.
//
// The node runs on one event loop and is called on it only: the threads of the process reach it through
// a ClusterPort.
class ClusterNode : public RoomLink
{
public:
    // Where the room reports its card changes in a cluster: to Redis and to the other nodes. (The topic
    // goes through the link.)
    class CardMirror : public KeptStateSink
    {
    public:
        explicit CardMirror(RedisKeptState& kept) : m_kept(kept) {}
        void topicChanged(std::string_view) override {}
        void cardStored(const StoredCard& card) override { m_kept.cardStored(card); }
        void cardRemoved(const std::string& key) override { m_kept.cardRemoved(key); }

    private:
        RedisKeptState& m_kept;
    };

    ClusterNode(asio::io_context& io, LocalRooms& rooms, ClusterSettings settings, EventLog& log,
                AccountCache& accounts);
    // Closes the connections first, so that replies still due find every member alive.
    ~ClusterNode() override { stop(); }
    ClusterNode(const ClusterNode&) = delete;
    ClusterNode& operator=(const ClusterNode&) = delete;

    const std::string& id() const { return m_id; }
    KeptStateSink& cardSink() { return m_cardMirror; }

    void start();
    // Stops the refreshes and closes the connections once what was sent is answered, or after `patience`.
    void finish(std::chrono::milliseconds patience);
    // Closes the connections at once.
    void stop();

    void claimNick(std::string_view nick, std::string_view address, ClaimDone done) override;
    void releaseNick(std::string_view nick) override;
    void joined(std::string_view nick, std::string_view address) override;
    void left(std::string_view nick) override;
    void stateChanged(std::string_view nick, std::string_view address, int state) override;
    void topicChanged(std::string_view topic) override;
    void chatSent(const SharedBytes& bytes) override;
    void privateSent(std::string_view node, std::string_view nick, const SharedBytes& bytes) override;

private:
    bool ready() const { return m_commands.connected() && m_channels.connected(); }
    void connectionChanged();
    void refreshEvery();
    void received(std::string_view channel, std::string_view payload);

    ClusterSettings m_settings;
    LocalRooms& m_rooms;
    EventLog& m_log;
    std::string m_id;
    RedisConnection m_commands;
    RedisConnection m_channels;
    NickRegistry m_registry;
    EventRelay m_relay;
    RedisKeptState m_kept;
    RedisAccounts m_accounts;
    asio::steady_timer m_refresh;
    asio::steady_timer m_deadline;
    CardMirror m_cardMirror{m_kept};
    bool m_wasReady = false;
    bool m_finished = false;
};

} // namespace kovrel::server

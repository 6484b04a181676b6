#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>

#include "cluster_settings.h"
#include "event_log.h"
#include "kept_state.h"
#include "redis_connection.h"
#include "room.h"
#include "room_link.h"

namespace kovrel::server {

// This node's part in a cluster of servers that share one room through Redis.
//
// Nicks are claimed as keys named by their skeleton, so that look-alikes collide; each key holds the
// node, the nick, the address and the state, and expires unless the holding node refreshes it. What the
// members of this node do is published on the room's channel; a private message goes to the channel of
// the recipient's node. Every refresh also reads the whole registry, which adds members whose news were
// missed and removes those of nodes that died. The topic is a key of its own.
//
// One connection sends commands, another receives the channels (a subscribed connection takes no other
// commands). While either is down, log-ins are refused and what cannot be published is counted; the topic
// and the cards changed meanwhile are written to Redis once it is back.
class ClusterNode : public RoomLink
{
public:
    // Where the room reports its card changes in a cluster: to Redis and to the other nodes. (The topic
    // goes through the link.)
    class CardMirror : public KeptStateSink
    {
    public:
        explicit CardMirror(ClusterNode& node) : m_node(node) {}
        void topicChanged(std::string_view) override {}
        void cardStored(const StoredCard& card) override { m_node.cardStored(card); }
        void cardRemoved(const std::string& key) override { m_node.cardRemoved(key); }

    private:
        ClusterNode& m_node;
    };

    ClusterNode(asio::io_context& io, Room& room, ClusterSettings settings, EventLog& log);
    // Closes the connections first, so that replies still due find every member alive.
    ~ClusterNode() override { stop(); }
    ClusterNode(const ClusterNode&) = delete;
    ClusterNode& operator=(const ClusterNode&) = delete;

    const std::string& id() const { return m_id; }
    KeptStateSink& cardSink() { return m_cardMirror; }

    void start();
    // Stops the refreshes and closes the connections once what was sent is answered.
    void finish();
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
    void caughtUp();
    void refreshEvery();
    void refreshClaims();
    void readRegistry();
    void registryRead(const RedisReply& reply, std::uint64_t asked);
    void loadTopic();
    void loadCards();
    void cardStored(const StoredCard& card);
    void cardRemoved(const std::string& key);
    void writeCardsChangedMeanwhile();
    // Sends a command that keeps some of the room's state in Redis; `unsaved` runs when it could not be
    // sent or failed, so that it is written again once Redis is back.
    void keepInRedis(const std::vector<std::string_view>& command, std::function<void()> unsaved);
    void received(std::string_view channel, std::string_view payload);
    void roomEvent(std::string_view kind, std::string_view node, std::string_view rest);
    void privateReceived(std::string_view rest);
    void publish(const std::string& channel, std::string_view kind, std::string_view rest);
    void unpublished(std::string_view kind);
    // Adds or updates a member of another node as its node reports it.
    void placeRemote(std::string_view node, std::string_view nick, std::string_view address, int state);
    void writeClaim(std::string_view nick, std::string_view address, int state);
    // Marks a nick as just reported, so that an older snapshot of the registry does not undo the news.
    void noted(std::string_view nick);

    std::string nickKey(std::string_view nick) const;
    std::string claimValue(std::string_view nick, std::string_view address, int state) const;

    Room& m_room;
    ClusterSettings m_settings;
    EventLog& m_log;
    std::string m_id;
    std::string m_roomChannel;
    std::string m_nodeChannel;
    RedisConnection m_commands;
    RedisConnection m_channels;
    asio::steady_timer m_refresh;
    CardMirror m_cardMirror{*this};
    bool m_wasReady = false;
    bool m_finished = false;
    bool m_rosterRead = false; // since Redis became reachable
    // Changed here while Redis could not keep them: written when it is back.
    bool m_topicUnsaved = false;
    std::set<std::string> m_cardsUnsaved;
    std::uint64_t m_unpublished = 0;
    std::uint64_t m_unpublishedLogged = 0;
    // The news counter, and for each nick (in lower case) the count of its latest news.
    std::uint64_t m_news = 0;
    std::unordered_map<std::string, std::uint64_t> m_lastNews;
};

} // namespace kovrel::server

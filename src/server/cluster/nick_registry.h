// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "event_log.h"
#include "local_rooms.h"
#include "redis_connection.h"
#include "room_link.h"

namespace kovrel::server {

// The cluster's nicks in Redis as one node sees them. Nicks are claimed as keys named by their skeleton,
// so that look-alikes collide; each key holds the node, the nick, the address and the state, and expires
// unless the holding node refreshes it. Every refresh also reads the whole registry, which adds members
// whose news were missed and removes those of nodes that died.
//
// The registry keeps the members of this node (of all its threads) and the node of every member of the
// others, and tells the rooms here of the others' arrivals and departures.
class NickRegistry
{
public:
    // `nodeId` names this node in every claim; it must outlive the registry.
    NickRegistry(RedisConnection& commands, LocalRooms& rooms, const std::string& nodeId,
                 std::chrono::milliseconds presenceTtl, EventLog& log);

    // Sets the claim unless some node holds the nick (or a look-alike) already.
    void claim(std::string_view nick, std::string_view address, RoomLink::ClaimDone done);
    // Deletes the claim if this node holds it.
    void release(std::string_view nick);
    // A member of this node logged in, changed its state or left (which also releases the nick).
    void joined(std::string_view nick, std::string_view address);
    void stateChanged(std::string_view nick, std::string_view address, int state);
    void left(std::string_view nick);
    // Renews the claims of every member of this node and reads the whole registry into the rooms.
    void refresh();
    // Logs how many users the registry holds the next time it is read, as after Redis came back.
    void logNextRosterRead() { m_rosterRead = false; }

    // What another node reports of its members: "join", "state" or "leave", then the nick and the rest.
    void received(std::string_view kind, std::string_view node, std::string_view rest);

private:
    struct Member
    {
        std::string node; // empty for a member of this node
        std::string nick;
        std::string address;
        int state = 0;
    };

    // Sets or renews the claim of a member of this node, with its address and state.
    void writeClaim(std::string_view nick, std::string_view address, int state);
    // Adds or updates a member of another node as its node reports it.
    void placeRemote(std::string_view node, std::string_view nick, std::string_view address, int state);
    void removeRemote(std::string_view node, std::string_view nick);
    void readRegistry();
    void registryRead(const RedisReply& reply, std::uint64_t asked);
    std::string claimValue(std::string_view nick, std::string_view address, int state) const;

    RedisConnection& m_commands;
    LocalRooms& m_rooms;
    const std::string& m_id;
    const std::string m_ttl; // milliseconds, as Redis takes it
    EventLog& m_log;
    bool m_rosterRead = false;
    // Every member of the cluster this node knows of, by the nick in lower case.
    std::unordered_map<std::string, Member> m_members;
    // The news counter, and for each nick (in lower case) the count of its latest news.
    std::uint64_t m_news = 0;
    std::unordered_map<std::string, std::uint64_t> m_lastNews;
};

} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "event_log.h"
#include "participant.h"
#include "redis_connection.h"

namespace kovrel::server {

// The channel of the room's events in Redis database `database`.
std::string channelOfRoom(unsigned database);

// What the members of one node do, told to the other nodes through Redis channels, and what theirs do, as
// it comes from the channels. Room events go to the room's channel, a private message to the channel of
// the recipient's node; each message is its kind, the sending node and the event's fields. What cannot be
// published (Redis unreachable) is counted and logged.
class EventRelay
{
public:
    // A message of another node: on the room's channel, or a private one on this node's.
    struct Event
    {
        std::string_view kind;
        std::string_view node;
        std::string_view rest; // the event's fields
    };

    // `nodeId` names this node in every message; it must outlive the relay. The channels are those of
    // the Redis database `database`.
    EventRelay(RedisConnection& commands, const std::string& nodeId, unsigned database, EventLog& log);

    // The channels this node listens on.
    const std::string& roomChannel() const { return m_roomChannel; }
    const std::string& nodeChannel() const { return m_nodeChannel; }

    // An event of the room, `rest` its fields, for every other node.
    void publish(std::string_view kind, std::string_view rest);
    // A private message for `nick`, a member of node `node`.
    void publishPrivate(std::string_view node, std::string_view nick, const SharedBytes& bytes);
    // The event a message on one of this node's channels carries; nothing for this node's own messages
    // and for those that belong on neither channel.
    std::optional<Event> received(std::string_view channel, std::string_view payload) const;
    // Logs how many messages went unpublished since the last report, once Redis is back.
    void reportUnpublished();

private:
    void send(const std::string& channel, std::string_view kind, std::string_view rest);
    void unpublished(std::string_view kind);

    RedisConnection& m_commands;
    const std::string& m_id;
    const unsigned m_database;
    const std::string m_roomChannel;
    const std::string m_nodeChannel;
    EventLog& m_log;
    std::uint64_t m_unpublished = 0;
    std::uint64_t m_unpublishedLogged = 0;
};

} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
#include "event_relay.h"

#include "cluster_fields.h"

namespace kovrel::server {
namespace {

std::string channelOfNode(unsigned database, std::string_view node)
{
    return "kovrel:" + std::to_string(database) + ":node:" + std::string(node);
}

} // namespace

std::string channelOfRoom(unsigned database)
{
    return "kovrel:" + std::to_string(database) + ":room";
}

EventRelay::EventRelay(RedisConnection& commands, const std::string& nodeId, unsigned database, EventLog& log)
    : m_commands(commands), m_id(nodeId), m_database(database), m_roomChannel(channelOfRoom(database)),
      m_nodeChannel(channelOfNode(database, nodeId)), m_log(log)
{}

void EventRelay::publish(std::string_view kind, std::string_view rest)
{
    send(m_roomChannel, kind, rest);
}

void EventRelay::publishPrivate(std::string_view node, std::string_view nick, const SharedBytes& bytes)
{
    send(channelOfNode(m_database, node), "private", std::string(nick) + kFieldSeparator + *bytes);
}

void EventRelay::send(const std::string& channel, std::string_view kind, std::string_view rest)
{
    std::string payload;
    payload.reserve(kind.size() + m_id.size() + rest.size() + 2);
    payload.append(kind).append(1, kFieldSeparator).append(m_id).append(1, kFieldSeparator).append(rest);
    const bool sent =
        m_commands.command({"PUBLISH", channel, payload}, [this, kind](const RedisReply& reply) {
            if (!reply.ok()) {
                unpublished(kind);
            }
        });
    if (!sent) {
        unpublished(kind);
    }
}

void EventRelay::unpublished(std::string_view kind)
{
    ++m_unpublished;
    if (m_unpublished == m_unpublishedLogged + 1 || m_unpublished % 1000 == 0) {
        m_log.write("unpublished", m_id, {},
                    "a " + std::string(kind) + " message could not be published (Redis unreachable); " +
                        std::to_string(m_unpublished - m_unpublishedLogged) + " since it went away");
    }
}

void EventRelay::reportUnpublished()
{
    if (m_unpublished > m_unpublishedLogged) {
        m_log.write("cluster", m_id, {},
                    std::to_string(m_unpublished - m_unpublishedLogged) +
                        " messages were not published while Redis was unreachable; " +
                        std::to_string(m_unpublished) + " in all");
        m_unpublishedLogged = m_unpublished;
    }
}

std::optional<EventRelay::Event> EventRelay::received(std::string_view channel,
                                                      std::string_view payload) const
{
    Event event;
    event.kind = takeField(payload);
    event.node = takeField(payload);
    event.rest = payload;
    if (event.node == m_id) {
        return std::nullopt; // delivered here when it was sent
    }
    const bool privately = event.kind == "private";
    if (privately ? channel != m_nodeChannel : channel != m_roomChannel) {
        return std::nullopt;
    }
    return event;
}

} // namespace kovrel::server

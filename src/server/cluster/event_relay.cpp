// SPDX-License-Identifier: GPL-3.0-or-later
#include "event_relay.h"

#include <memory>
#include <optional>

#include "cluster_fields.h"
#include "message_text.h"

namespace kovrel::server {
namespace {

std::string channelOfNode(unsigned database, std::string_view node)
{
    return "kovrel:" + std::to_string(database) + ":node:" + std::string(node);
}

} // namespace

EventRelay::EventRelay(RedisConnection& commands, Room& room, NickRegistry& registry,
                       const std::string& nodeId, unsigned database, EventLog& log)
    : m_commands(commands), m_room(room), m_registry(registry), m_id(nodeId), m_database(database),
      m_roomChannel("kovrel:" + std::to_string(database) + ":room"),
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

void EventRelay::received(std::string_view channel, std::string_view payload)
{
    const std::string_view kind = takeField(payload);
    const std::string_view node = takeField(payload);
    if (node == m_id) {
        return; // delivered here when it was sent
    }
    if (channel == m_nodeChannel && kind == "private") {
        privateReceived(payload);
    } else if (channel == m_roomChannel) {
        roomEvent(kind, node, payload);
    }
}

void EventRelay::roomEvent(std::string_view kind, std::string_view node, std::string_view rest)
{
    if (kind == "chat") {
        // Encoded once by the sending node, shared by every recipient here.
        m_room.broadcast(std::make_shared<const std::string>(rest));
        return;
    }
    if (kind == "topic") {
        m_room.applyTopic(rest);
        return;
    }
    if (kind == "card") {
        if (const std::optional<StoredCard> card = parseCard(rest)) {
            m_room.restoreCard(*card);
        }
        return;
    }
    if (kind == "uncard") {
        m_room.forgetCard(std::string(rest));
        return;
    }
    const std::string_view nick = takeField(rest);
    if (!isValidNick(nick)) {
        return;
    }
    m_registry.noted(nick);
    if (kind == "join") {
        m_registry.placeRemote(node, nick, rest, 0);
    } else if (kind == "state") {
        m_room.setRemoteState(nick, parseState(rest));
    } else if (const Room::Member* member = m_room.find(nick);
               kind == "leave" && member && member->node == node) {
        m_room.removeRemote(nick);
    }
}

void EventRelay::privateReceived(std::string_view rest)
{
    const std::string_view nick = takeField(rest);
    const Room::Member* member = m_room.find(nick);
    if (member != nullptr && member->participant) {
        member->participant->deliver(std::make_shared<const std::string>(rest));
    }
}

} // namespace kovrel::server

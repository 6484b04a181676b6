// SPDX-License-Identifier: GPL-3.0-or-later
#include "redis_kept_state.h"

#include <optional>
#include <utility>

#include "cluster_fields.h"

namespace kovrel::server {
namespace {

constexpr std::string_view kTopicKey = "kovrel:topic";
// A hash: each card's key, its value the card as cardText() writes it.
constexpr std::string_view kCardsKey = "kovrel:cards";

} // namespace

RedisKeptState::RedisKeptState(RedisConnection& commands, Room& room, EventRelay& relay,
                               std::function<bool()> ready, const std::string& nodeId, EventLog& log)
    : m_commands(commands), m_room(room), m_relay(relay), m_ready(std::move(ready)), m_id(nodeId), m_log(log)
{}

void RedisKeptState::topicChanged(std::string_view topic)
{
    m_topicUnsaved = false;
    keepInRedis({"SET", kTopicKey, topic}, [this] { m_topicUnsaved = true; });
    m_relay.publish("topic", topic);
}

void RedisKeptState::cardStored(const StoredCard& card)
{
    const std::string text = cardText(card);
    keepInRedis({"HSET", kCardsKey, card.key, text}, [this, key = card.key] { m_cardsUnsaved.insert(key); });
    m_relay.publish("card", text);
}

void RedisKeptState::cardRemoved(const std::string& key)
{
    keepInRedis({"HDEL", kCardsKey, key}, [this, key] { m_cardsUnsaved.insert(key); });
    m_relay.publish("uncard", key);
}

void RedisKeptState::caughtUp()
{
    loadTopic();
    // What changed here while Redis was away goes first, so that what is read back includes it.
    writeCardsChangedMeanwhile();
    loadCards();
}

void RedisKeptState::loadTopic()
{
    if (m_topicUnsaved) {
        // Set here while Redis was away: newer than what Redis holds.
        topicChanged(m_room.topic());
        return;
    }
    m_commands.command({"GET", kTopicKey}, [this](const RedisReply& reply) {
        if (reply.kind == RedisReply::Kind::Text) {
            m_room.applyTopic(reply.text);
        } else if (reply.kind == RedisReply::Kind::Nil && !m_room.topic().empty()) {
            // Set here while Redis was away, or Redis started empty.
            m_commands.command({"SET", kTopicKey, m_room.topic()});
        }
    });
}

void RedisKeptState::loadCards()
{
    m_commands.command({"HGETALL", kCardsKey}, [this](const RedisReply& reply) {
        // Field names and values alternate.
        for (std::size_t i = 1; i < reply.elements.size(); i += 2) {
            if (const std::optional<StoredCard> card = parseCard(reply.elements[i].text)) {
                m_room.restoreCard(*card);
            }
        }
    });
}

void RedisKeptState::writeCardsChangedMeanwhile()
{
    if (m_cardsUnsaved.empty()) {
        return;
    }
    const std::set<std::string> keys = std::exchange(m_cardsUnsaved, {});
    m_log.write("cluster", m_id, {},
                std::to_string(keys.size()) + " cards changed while Redis was unreachable are written now");
    for (const StoredCard& card : m_room.keptState().cards) {
        if (keys.contains(card.key)) {
            cardStored(card);
        }
    }
    for (const std::string& key : keys) {
        if (m_room.findCard(key) == nullptr) {
            cardRemoved(key);
        }
    }
}

void RedisKeptState::keepInRedis(const std::vector<std::string_view>& command, std::function<void()> unsaved)
{
    const bool sent = m_ready() && m_commands.command(command, [unsaved](const RedisReply& reply) {
        if (!reply.ok()) {
            unsaved();
        }
    });
    if (!sent) {
        unsaved();
    }
}

} // namespace kovrel::server

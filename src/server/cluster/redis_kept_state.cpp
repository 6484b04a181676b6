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

RedisKeptState::RedisKeptState(RedisConnection& commands, LocalRooms& rooms, EventRelay& relay,
                               std::function<bool()> ready, const std::string& nodeId, EventLog& log)
    : m_commands(commands), m_rooms(rooms), m_relay(relay), m_ready(std::move(ready)), m_id(nodeId),
      m_log(log)
{}

void RedisKeptState::topicChanged(std::string_view topic)
{
    m_topic = topic;
    m_topicUnsaved = false;
    keepInRedis({"SET", kTopicKey, topic}, [this] { m_topicUnsaved = true; });
    m_relay.publish("topic", topic);
}

void RedisKeptState::cardStored(const StoredCard& card)
{
    const std::string text = cardText(card);
    keepInRedis({"HSET", kCardsKey, card.key, text}, [this, card] { m_cardsUnsaved[card.key] = card; });
    m_relay.publish("card", text);
}

void RedisKeptState::cardRemoved(const std::string& key)
{
    keepInRedis({"HDEL", kCardsKey, key}, [this, key] { m_cardsUnsaved[key] = std::nullopt; });
    m_relay.publish("uncard", key);
}

void RedisKeptState::received(std::string_view kind, std::string_view rest)
{
    if (kind == "topic") {
        m_topic = rest;
        m_rooms.applyTopic(rest);
    } else if (kind == "card") {
        if (const std::optional<StoredCard> card = parseCard(rest)) {
            m_rooms.restoreCard(*card);
        }
    } else if (kind == "uncard") {
        m_rooms.forgetCard(std::string(rest));
    }
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
        topicChanged(std::string(m_topic));
        return;
    }
    m_commands.command({"GET", kTopicKey}, [this](const RedisReply& reply) {
        if (reply.kind == RedisReply::Kind::Text) {
            m_topic = reply.text;
            m_rooms.applyTopic(m_topic);
        } else if (reply.kind == RedisReply::Kind::Nil && !m_topic.empty()) {
            // Redis started empty.
            m_commands.command({"SET", kTopicKey, m_topic});
        }
    });
}

void RedisKeptState::loadCards()
{
    m_commands.command({"HGETALL", kCardsKey}, [this](const RedisReply& reply) {
        // Field names and values alternate.
        for (std::size_t i = 1; i < reply.elements.size(); i += 2) {
            if (const std::optional<StoredCard> card = parseCard(reply.elements[i].text)) {
                m_rooms.restoreCard(*card);
            }
        }
    });
}

void RedisKeptState::writeCardsChangedMeanwhile()
{
    if (m_cardsUnsaved.empty()) {
        return;
    }
    const auto cards = std::exchange(m_cardsUnsaved, {});
    m_log.write("cluster", m_id, {},
                std::to_string(cards.size()) + " cards changed while Redis was unreachable are written now");
    for (const auto& [key, card] : cards) {
        if (card) {
            cardStored(*card);
        } else {
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

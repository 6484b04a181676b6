// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "event_log.h"
#include "event_relay.h"
#include "kept_state.h"
#include "local_rooms.h"
#include "redis_connection.h"

namespace kovrel::server {

// The room's topic and cards as the nodes of a cluster keep them in Redis: the topic a key of its own,
// the cards one hash. Each change made here is written and published as it happens; what could not be
// written while Redis was unreachable is remembered and written once it is back, before the topic and
// the cards are read again.
class RedisKeptState
{
public:
    // `ready` says whether Redis can be written to now; `nodeId` must outlive this.
    RedisKeptState(RedisConnection& commands, LocalRooms& rooms, EventRelay& relay,
                   std::function<bool()> ready, const std::string& nodeId, EventLog& log);

    // Changes made here.
    void topicChanged(std::string_view topic);
    void cardStored(const StoredCard& card);
    void cardRemoved(const std::string& key);
    // What another node reports: "topic", "card" or "uncard", then its fields.
    void received(std::string_view kind, std::string_view rest);
    // Redis is back: writes what changed meanwhile and reads what the other nodes changed.
    void caughtUp();

private:
    void loadTopic();
    void loadCards();
    void writeCardsChangedMeanwhile();
    // Sends a command that keeps some of the room's state in Redis; `unsaved` runs when it could not be
    // sent or failed, so that it is written again once Redis is back.
    void keepInRedis(const std::vector<std::string_view>& command, std::function<void()> unsaved);

    RedisConnection& m_commands;
    LocalRooms& m_rooms;
    EventRelay& m_relay;
    std::function<bool()> m_ready;
    const std::string& m_id;
    EventLog& m_log;
    // The room's topic, wherever it was set last.
    std::string m_topic;
    // Changed here while Redis could not keep them: written when it is back. Each card as it was last
    // stored here, or nothing when it was removed.
    bool m_topicUnsaved = false;
    std::map<std::string, std::optional<StoredCard>> m_cardsUnsaved;
};

} // namespace kovrel::server

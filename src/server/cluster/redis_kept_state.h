// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "event_log.h"
#include "event_relay.h"
#include "kept_state.h"
#include "redis_connection.h"
#include "room.h"

namespace kovrel::server {

// The room's topic and cards as the nodes of a cluster keep them in Redis: the topic a key of its own,
// the cards one hash. Each change made here is written and published as it happens; what could not be
// written while Redis was unreachable is remembered and written once it is back, before the topic and
// the cards are read again.
class RedisKeptState
{
public:
    // `ready` says whether Redis can be written to now; `nodeId` must outlive this.
    RedisKeptState(RedisConnection& commands, Room& room, EventRelay& relay, std::function<bool()> ready,
                   const std::string& nodeId, EventLog& log);

    void topicChanged(std::string_view topic);
    void cardStored(const StoredCard& card);
    void cardRemoved(const std::string& key);
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
    Room& m_room;
    EventRelay& m_relay;
    std::function<bool()> m_ready;
    const std::string& m_id;
    EventLog& m_log;
    // Changed here while Redis could not keep them: written when it is back.
    bool m_topicUnsaved = false;
    std::set<std::string> m_cardsUnsaved;
};

} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "event_log.h"
#include "kept_state.h"
#include "state_database.h"

namespace kovrel::server {

// Writes every change of the topic and the cards to the state database on a thread of its own, so that
// the disk never holds up the conversation: the network thread only queues the change. Changes queued
// while a write is under way go into the next transaction together.
//
// A write that fails (the folder briefly gone, the disk full) is logged and tried again, after 0.1 s, then
// twice as long each time up to 10 s; the database is then opened afresh and, since it may not be the same
// file any more, written whole from the copy of the state this thread keeps.
class StateStore : public KeptStateSink
{
public:
    static constexpr std::chrono::milliseconds kFirstRetryDelay{100};
    static constexpr std::chrono::milliseconds kLongestRetryDelay{10000};

    // `state` is what `database` holds now.
    StateStore(std::filesystem::path file, std::unique_ptr<StateDatabase> database, StoredState state,
               EventLog& log);
    ~StateStore() override;
    StateStore(const StateStore&) = delete;
    StateStore& operator=(const StateStore&) = delete;

    void topicChanged(std::string_view topic) override;
    void cardStored(const StoredCard& card) override;
    void cardRemoved(const std::string& key) override;

    // Writes what is still queued, trying for up to `patience` if writes fail, and stops the thread. False
    // when some of the state could not be saved. Nothing queued after it is written.
    bool finish(std::chrono::milliseconds patience);

private:
    void queue(StateChange change);
    void run();
    // Moves the queued changes into `batch`, waiting for some unless a rewrite is due; false when finishing
    // and there is nothing left to write.
    bool takeChanges(std::vector<StateChange>& batch);
    void remember(const StateChange& change);
    // One attempt; the reason when it failed.
    std::optional<std::string> tryWrite(const std::vector<StateChange>& batch);
    // Waits before the next attempt; false when finishing and out of patience.
    bool waitBeforeRetry(std::chrono::milliseconds delay);
    StoredState rememberedState() const;

    const std::filesystem::path m_file;
    EventLog& m_log;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<StateChange> m_queue;
    bool m_finishing = false;
    std::chrono::steady_clock::time_point m_giveUpAt;

    // The writing thread's own.
    std::unique_ptr<StateDatabase> m_database;
    std::string m_topic;
    std::map<std::string, StoredCard> m_cards;
    bool m_rewriteDue = false; // a write failed: the next one writes everything

    std::thread m_thread; // last: it starts once everything above is ready
};

} // namespace kovrel::server

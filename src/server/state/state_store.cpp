// SPDX-License-Identifier: GPL-3.0-or-later
#include "state_store.h"

#include <algorithm>
#include <utility>

namespace kovrel::server {

StateStore::StateStore(std::filesystem::path file, std::unique_ptr<StateDatabase> database, StoredState state,
                       EventLog& log)
    : m_file(std::move(file)), m_log(log), m_database(std::move(database)), m_topic(std::move(state.topic))
{
    for (StoredCard& card : state.cards) {
        std::string key = card.key;
        m_cards.emplace(std::move(key), std::move(card));
    }
    m_thread = std::thread([this] { run(); });
}

StateStore::~StateStore()
{
    if (m_thread.joinable()) {
        finish(std::chrono::milliseconds(0));
    }
}

void StateStore::topicChanged(std::string_view topic)
{
    queue(TopicChange{std::string(topic)});
}

void StateStore::cardStored(const StoredCard& card)
{
    queue(card);
}

void StateStore::cardRemoved(const std::string& key)
{
    queue(CardRemoval{key});
}

bool StateStore::finish(std::chrono::milliseconds patience)
{
    {
        const std::lock_guard lock(m_mutex);
        m_finishing = true;
        m_giveUpAt = std::chrono::steady_clock::now() + patience;
    }
    m_wake.notify_one();
    m_thread.join();
    return !m_rewriteDue;
}

void StateStore::queue(StateChange change)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_finishing) {
            return;
        }
        m_queue.push_back(std::move(change));
    }
    m_wake.notify_one();
}

void StateStore::run()
{
    auto delay = kFirstRetryDelay;
    unsigned failures = 0;
    std::vector<StateChange> batch;
    while (takeChanges(batch)) {
        if (const std::optional<std::string> error = tryWrite(batch)) {
            ++failures;
            m_log.write("state-not-saved", {}, {},
                        *error + "; trying again in " + std::to_string(delay.count()) + " ms");
            if (!waitBeforeRetry(delay)) {
                m_log.write("state-not-saved", {}, {},
                            "gave up after " + std::to_string(failures) + " attempts");
                return;
            }
            delay = std::min(2 * delay, kLongestRetryDelay);
        } else if (failures > 0) {
            m_log.write("state-saved", {}, {}, "after " + std::to_string(failures) + " failed attempts");
            failures = 0;
            delay = kFirstRetryDelay;
        }
        batch.clear();
    }
}

bool StateStore::takeChanges(std::vector<StateChange>& batch)
{
    std::unique_lock lock(m_mutex);
    m_wake.wait(lock, [this] { return m_rewriteDue || m_finishing || !m_queue.empty(); });
    if (m_queue.empty() && !m_rewriteDue) {
        return false; // finishing, and everything is written
    }
    for (StateChange& change : m_queue) {
        remember(change);
        batch.push_back(std::move(change));
    }
    m_queue.clear();
    return true;
}

void StateStore::remember(const StateChange& change)
{
    if (const auto* topic = std::get_if<TopicChange>(&change)) {
        m_topic = topic->topic;
    } else if (const auto* card = std::get_if<StoredCard>(&change)) {
        m_cards.insert_or_assign(card->key, *card);
    } else {
        m_cards.erase(std::get<CardRemoval>(change).key);
    }
}

std::optional<std::string> StateStore::tryWrite(const std::vector<StateChange>& batch)
{
    try {
        if (m_database && !m_database->stillAtItsPath()) {
            throw StateDatabaseError(m_file.string() + " is no longer where it was opened");
        }
        if (!m_database) {
            m_database = std::make_unique<StateDatabase>(m_file);
        }
        if (m_rewriteDue) {
            m_database->replaceAll(rememberedState());
            m_rewriteDue = false;
        } else {
            m_database->apply(batch);
        }
        return std::nullopt;
    } catch (const std::exception& error) {
        m_database.reset();
        m_rewriteDue = true;
        return error.what();
    }
}

bool StateStore::waitBeforeRetry(std::chrono::milliseconds delay)
{
    std::unique_lock lock(m_mutex);
    const auto retryAt = std::chrono::steady_clock::now() + delay;
    if (!m_finishing) {
        // Cut short when the server stops: its last moments are better spent retrying.
        m_wake.wait_until(lock, retryAt, [this] { return m_finishing; });
        return true;
    }
    if (std::chrono::steady_clock::now() >= m_giveUpAt) {
        return false;
    }
    m_wake.wait_until(lock, std::min(retryAt, m_giveUpAt));
    return true;
}

StoredState StateStore::rememberedState() const
{
    StoredState state{m_topic, {}};
    for (const auto& [key, card] : m_cards) {
        state.cards.push_back(card);
    }
    std::sort(state.cards.begin(), state.cards.end(),
              [](const StoredCard& a, const StoredCard& b) { return a.order < b.order; });
    return state;
}

} // namespace kovrel::server

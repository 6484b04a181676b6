// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kovrel::server {

class KeptStateSink;
struct StoredCard;

// A personal card: the nick that published it and its eleven fields as they travel, joined by "|"; the
// address it was published from (empty when not known) and when its owner last published it or logged in.
struct Card
{
    using Clock = std::chrono::system_clock;

    std::string nick;
    std::string fields;
    std::string address = {};
    std::int64_t refreshed = 0; // seconds since 1970

    friend bool operator==(const Card&, const Card&) = default;
};

inline std::int64_t secondsSinceEpoch(Card::Clock::time_point time)
{
    return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
}

// The last card each nick published, found again without regard to letter case. Bounded, since any
// client that logs in may publish: at most kMaxCards cards of at most kMaxFieldsSize bytes, at most
// `perAddress` published from one address; when full, a new card replaces the one published longest ago
// (from that address). A card whose owner has neither published it nor logged in for `lifetime` expires.
// Every change is reported to the sink, when there is one.
class CardBook
{
public:
    static constexpr std::size_t kMaxFieldsSize = 8 * 1024;
    static constexpr std::size_t kMaxCards = 5000;

    struct Limits
    {
        std::size_t perAddress = 50;
        std::chrono::seconds lifetime = std::chrono::days(365);
    };

    enum class Outcome
    {
        Stored,
        Unchanged,
        TooLong
    };

    CardBook() = default;
    explicit CardBook(Limits limits) : m_limits(limits) {}

    void setSink(KeptStateSink* sink) { m_sink = sink; }

    Outcome publish(std::string_view nick, std::string_view fields, std::string_view address,
                    Card::Clock::time_point now);
    // The owner of the card logged in: it lives another `lifetime` from now.
    void refresh(std::string_view nick, Card::Clock::time_point now);
    // Removes the cards that have outlived their lifetime.
    void expire(Card::Clock::time_point now);
    // Takes a card as it was kept, with its address, time and order; not reported.
    void restore(const StoredCard& stored);
    // Removes a card without reporting it: another node removed it and reported it already.
    void forget(const std::string& key) { m_cards.erase(key); }

    const Card* find(std::string_view nick) const;

    // Oldest publication first.
    std::vector<StoredCard> cards() const;
    std::size_t size() const { return m_cards.size(); }

private:
    struct Entry
    {
        Card card;
        std::uint64_t published = 0;
    };
    using Entries = std::unordered_map<std::string, Entry>;

    // Makes room for a new card from `address`.
    void makeRoomFor(std::string_view address);
    // The entry published longest ago among those that `matches` accepts.
    template <typename Predicate> Entries::iterator oldest(Predicate matches);
    Entries::iterator remove(Entries::iterator entry);
    void report(const std::string& key, const Entry& entry) const;

    Limits m_limits;
    Entries m_cards;
    std::uint64_t m_publications = 0;
    KeptStateSink* m_sink = nullptr;
};

} // namespace kovrel::server

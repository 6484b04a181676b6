#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kovrel::server {

// A personal card: the nick that published it and its eleven fields as they travel, joined by "|".
struct Card
{
    std::string nick;
    std::string fields;

    friend bool operator==(const Card&, const Card&) = default;
};

// The last card each nick published, found again without regard to letter case. Bounded, since any
// client that logs in may publish: at most kMaxCards cards of at most kMaxFieldsSize bytes; when full, a
// new nick's card replaces the one published longest ago.
class CardBook
{
public:
    static constexpr std::size_t kMaxFieldsSize = 8 * 1024;
    static constexpr std::size_t kMaxCards = 5000;

    enum class Outcome
    {
        Stored,
        Unchanged,
        TooLong
    };

    Outcome publish(std::string_view nick, std::string_view fields);
    const Card* find(std::string_view nick) const;

    // Oldest publication first, so that restoring them in this order keeps the eviction order.
    std::vector<Card> cards() const;
    std::size_t size() const { return m_cards.size(); }

private:
    struct Entry
    {
        Card card;
        std::uint64_t published = 0;
    };

    void evictOldest();

    std::unordered_map<std::string, Entry> m_cards;
    std::uint64_t m_publications = 0;
};

} // namespace kovrel::server

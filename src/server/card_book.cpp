#include "card_book.h"

#include <algorithm>

#include "cp1251.h"

namespace kovrel::server {

CardBook::Outcome CardBook::publish(std::string_view nick, std::string_view fields)
{
    if (fields.size() > kMaxFieldsSize) {
        return Outcome::TooLong;
    }
    std::string key = cp1251::toLowerCase(nick);
    const auto existing = m_cards.find(key);
    if (existing != m_cards.end()) {
        Entry& entry = existing->second;
        const bool unchanged = entry.card.nick == nick && entry.card.fields == fields;
        entry = {{std::string(nick), std::string(fields)}, ++m_publications};
        return unchanged ? Outcome::Unchanged : Outcome::Stored;
    }
    if (m_cards.size() >= kMaxCards) {
        evictOldest();
    }
    m_cards.emplace(std::move(key), Entry{{std::string(nick), std::string(fields)}, ++m_publications});
    return Outcome::Stored;
}

const Card* CardBook::find(std::string_view nick) const
{
    const auto found = m_cards.find(cp1251::toLowerCase(nick));
    return found == m_cards.end() ? nullptr : &found->second.card;
}

std::vector<Card> CardBook::cards() const
{
    std::vector<const Entry*> entries;
    entries.reserve(m_cards.size());
    for (const auto& [key, entry] : m_cards) {
        entries.push_back(&entry);
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry* a, const Entry* b) { return a->published < b->published; });
    std::vector<Card> cards;
    cards.reserve(entries.size());
    for (const Entry* entry : entries) {
        cards.push_back(entry->card);
    }
    return cards;
}

void CardBook::evictOldest()
{
    const auto oldest = std::min_element(m_cards.begin(), m_cards.end(), [](const auto& a, const auto& b) {
        return a.second.published < b.second.published;
    });
    m_cards.erase(oldest);
}

} // namespace kovrel::server

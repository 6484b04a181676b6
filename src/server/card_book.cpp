// SPDX-License-Identifier: GPL-3.0-or-later
#include "card_book.h"

#include <algorithm>

#include "cp1251.h"
#include "kept_state.h"

namespace kovrel::server {

CardBook::Outcome CardBook::publish(std::string_view nick, std::string_view fields, std::string_view address,
                                    Card::Clock::time_point now)
{
    if (fields.size() > kMaxFieldsSize) {
        return Outcome::TooLong;
    }
    Card card{std::string(nick), std::string(fields), std::string(address), secondsSinceEpoch(now)};
    std::string key = cp1251::toLowerCase(nick);
    const auto existing = m_cards.find(key);
    if (existing != m_cards.end()) {
        Entry& entry = existing->second;
        const bool unchanged = entry.card.nick == nick && entry.card.fields == fields;
        if (entry.card.address != address) {
            m_cards.erase(existing); // counts towards its new address now
        } else {
            entry = {std::move(card), ++m_publications};
            report(key, entry);
            return unchanged ? Outcome::Unchanged : Outcome::Stored;
        }
    }
    makeRoomFor(address);
    const auto added =
        m_cards.insert_or_assign(std::move(key), Entry{std::move(card), ++m_publications}).first;
    report(added->first, added->second);
    return Outcome::Stored;
}

void CardBook::refresh(std::string_view nick, Card::Clock::time_point now)
{
    const auto found = m_cards.find(cp1251::toLowerCase(nick));
    if (found != m_cards.end()) {
        found->second.card.refreshed = secondsSinceEpoch(now);
        report(found->first, found->second);
    }
}

void CardBook::expire(Card::Clock::time_point now)
{
    const std::int64_t oldestAlive = secondsSinceEpoch(now - m_limits.lifetime);
    for (auto entry = m_cards.begin(); entry != m_cards.end();) {
        entry = entry->second.card.refreshed < oldestAlive ? remove(entry) : std::next(entry);
    }
}

void CardBook::restore(const StoredCard& stored)
{
    m_cards.insert_or_assign(stored.key, Entry{stored.card, stored.order});
    m_publications = std::max(m_publications, stored.order);
}

const Card* CardBook::find(std::string_view nick) const
{
    const auto found = m_cards.find(cp1251::toLowerCase(nick));
    return found == m_cards.end() ? nullptr : &found->second.card;
}

std::vector<StoredCard> CardBook::cards() const
{
    std::vector<StoredCard> cards;
    cards.reserve(m_cards.size());
    for (const auto& [key, entry] : m_cards) {
        cards.push_back({key, entry.card, entry.published});
    }
    std::sort(cards.begin(), cards.end(),
              [](const StoredCard& a, const StoredCard& b) { return a.order < b.order; });
    return cards;
}

void CardBook::makeRoomFor(std::string_view address)
{
    const auto fromAddress = [address](const Entry& entry) { return entry.card.address == address; };
    const auto cardsFromAddress = std::count_if(m_cards.begin(), m_cards.end(),
                                                [&](const auto& card) { return fromAddress(card.second); });
    if (!address.empty() && static_cast<std::size_t>(cardsFromAddress) >= m_limits.perAddress) {
        remove(oldest(fromAddress));
    }
    if (m_cards.size() >= kMaxCards) {
        remove(oldest([](const Entry&) { return true; }));
    }
}

template <typename Predicate> CardBook::Entries::iterator CardBook::oldest(Predicate matches)
{
    auto oldest = m_cards.end();
    for (auto entry = m_cards.begin(); entry != m_cards.end(); ++entry) {
        if (matches(entry->second) &&
            (oldest == m_cards.end() || entry->second.published < oldest->second.published)) {
            oldest = entry;
        }
    }
    return oldest;
}

CardBook::Entries::iterator CardBook::remove(Entries::iterator entry)
{
    if (m_sink) {
        m_sink->cardRemoved(entry->first);
    }
    return m_cards.erase(entry);
}

void CardBook::report(const std::string& key, const Entry& entry) const
{
    if (m_sink) {
        m_sink->cardStored({key, entry.card, entry.published});
    }
}

} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
#include "card_book.h"

#include "cp1251.h"
#include "kept_state.h"

#include <gtest/gtest.h>

namespace kovrel::server {
namespace {

using namespace std::chrono_literals;

const Card::Clock::time_point kNow{std::chrono::days(20000)};

// Records what the book reports, as the state store would receive it.
struct RecordingSink : KeptStateSink
{
    void topicChanged(std::string_view) override {}
    void cardStored(const StoredCard& card) override { stored.push_back(card.key); }
    void cardRemoved(const std::string& key) override { removed.push_back(key); }

    std::vector<std::string> stored;
    std::vector<std::string> removed;
};

std::vector<std::string> nicksOf(const std::vector<StoredCard>& cards)
{
    std::vector<std::string> nicks;
    for (const StoredCard& card : cards) {
        nicks.push_back(card.card.nick);
    }
    return nicks;
}

TEST(CardBook, FindsTheLastCardOfANickWithoutRegardToLetterCase)
{
    CardBook book;
    EXPECT_EQ(book.publish(cp1251::fromUtf8("Вася"), "old", "10.0.0.1", kNow), CardBook::Outcome::Stored);
    EXPECT_EQ(book.publish(cp1251::fromUtf8("ВАСЯ"), "new", "10.0.0.1", kNow), CardBook::Outcome::Stored);
    EXPECT_EQ(book.publish(cp1251::fromUtf8("ВАСЯ"), "new", "10.0.0.1", kNow), CardBook::Outcome::Unchanged);

    const Card* card = book.find(cp1251::fromUtf8("вася"));
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(*card, (Card{cp1251::fromUtf8("ВАСЯ"), "new", "10.0.0.1", secondsSinceEpoch(kNow)}));
    EXPECT_EQ(book.size(), 1u);
    EXPECT_EQ(book.find("petya"), nullptr);
}

TEST(CardBook, RefusesCardsLongerThanTheBound)
{
    CardBook book;
    EXPECT_EQ(book.publish("a", std::string(CardBook::kMaxFieldsSize, 'x'), "", kNow),
              CardBook::Outcome::Stored);
    EXPECT_EQ(book.publish("b", std::string(CardBook::kMaxFieldsSize + 1, 'x'), "", kNow),
              CardBook::Outcome::TooLong);
    EXPECT_EQ(book.find("b"), nullptr);
}

TEST(CardBook, WhenFullReplacesTheCardPublishedLongestAgo)
{
    CardBook book({CardBook::kMaxCards, 365 * 24h});
    for (std::size_t i = 0; i < CardBook::kMaxCards; ++i) {
        book.publish("nick" + std::to_string(i), "card", "10.0.0.1", kNow);
    }
    book.publish("nick0", "republished", "10.0.0.1", kNow); // now the newest
    book.publish("newcomer", "card", "10.0.0.2", kNow);

    EXPECT_EQ(book.size(), CardBook::kMaxCards);
    EXPECT_NE(book.find("nick0"), nullptr);
    EXPECT_EQ(book.find("nick1"), nullptr);
    EXPECT_NE(book.find("newcomer"), nullptr);
}

// Cards of unknown origin (imported) count towards no address.
TEST(CardBook, OneAddressKeepsItsNewestCardsOnlyAndOthersAreUntouched)
{
    RecordingSink sink;
    CardBook book({2, 365 * 24h});
    book.setSink(&sink);
    book.restore({"old", {"old", "card", "", 0}, 1});
    book.publish("other", "card", "10.0.0.2", kNow);
    book.publish("a", "card", "10.0.0.1", kNow);
    book.publish("b", "card", "10.0.0.1", kNow);
    book.publish("a", "again", "10.0.0.1", kNow); // a is newer than b now
    book.publish("c", "card", "10.0.0.1", kNow);
    book.publish("other", "moved", "10.0.0.1", kNow);

    EXPECT_EQ(nicksOf(book.cards()), (std::vector<std::string>{"old", "c", "other"}));
    EXPECT_EQ(sink.removed, (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(sink.stored, (std::vector<std::string>{"other", "a", "b", "a", "c", "other"}));
}

TEST(CardBook, ACardExpiresWhenItsOwnerIsNotSeenForItsLifetime)
{
    RecordingSink sink;
    CardBook book({50, 10 * 24h});
    book.setSink(&sink);
    book.publish("gone", "card", "10.0.0.1", kNow - 11 * 24h);
    book.publish("back", "card", "10.0.0.1", kNow - 11 * 24h);
    book.publish("recent", "card", "10.0.0.1", kNow - 9 * 24h);
    book.refresh("BACK", kNow - 1h);
    book.refresh("nobody", kNow);
    book.expire(kNow);

    EXPECT_EQ(nicksOf(book.cards()), (std::vector<std::string>{"back", "recent"}));
    EXPECT_EQ(sink.removed, (std::vector<std::string>{"gone"}));
    EXPECT_EQ(book.find("back")->refreshed, secondsSinceEpoch(kNow - 1h));
}

TEST(CardBook, ListsCardsOldestFirstAndRestoresTheirOrder)
{
    CardBook book;
    book.publish("a", "1", "", kNow);
    book.publish("b", "2", "", kNow);
    book.publish("a", "3", "", kNow);
    const std::vector<StoredCard> cards = book.cards();
    EXPECT_EQ(nicksOf(cards), (std::vector<std::string>{"b", "a"}));

    CardBook restored;
    for (auto card = cards.rbegin(); card != cards.rend(); ++card) {
        restored.restore(*card);
    }
    EXPECT_EQ(restored.cards(), cards);
    restored.publish("c", "4", "", kNow);
    EXPECT_EQ(nicksOf(restored.cards()), (std::vector<std::string>{"b", "a", "c"}));
}

} // namespace
} // namespace kovrel::server

#include "card_book.h"

#include "cp1251.h"

#include <gtest/gtest.h>

namespace kovrel::server {
namespace {

TEST(CardBook, FindsTheLastCardOfANickWithoutRegardToLetterCase)
{
    CardBook book;
    EXPECT_EQ(book.publish(cp1251::fromUtf8("Вася"), "old"), CardBook::Outcome::Stored);
    EXPECT_EQ(book.publish(cp1251::fromUtf8("ВАСЯ"), "new"), CardBook::Outcome::Stored);
    EXPECT_EQ(book.publish(cp1251::fromUtf8("ВАСЯ"), "new"), CardBook::Outcome::Unchanged);

    const Card* card = book.find(cp1251::fromUtf8("вася"));
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(*card, (Card{cp1251::fromUtf8("ВАСЯ"), "new"}));
    EXPECT_EQ(book.size(), 1u);
    EXPECT_EQ(book.find("Petya"), nullptr);
}

TEST(CardBook, RefusesCardsLongerThanTheBound)
{
    CardBook book;
    EXPECT_EQ(book.publish("a", std::string(CardBook::kMaxFieldsSize, 'x')), CardBook::Outcome::Stored);
    EXPECT_EQ(book.publish("b", std::string(CardBook::kMaxFieldsSize + 1, 'x')), CardBook::Outcome::TooLong);
    EXPECT_EQ(book.find("b"), nullptr);
}

TEST(CardBook, WhenFullReplacesTheCardPublishedLongestAgo)
{
    CardBook book;
    for (std::size_t i = 0; i < CardBook::kMaxCards; ++i) {
        book.publish("nick" + std::to_string(i), "card");
    }
    book.publish("nick0", "republished"); // now the newest
    book.publish("newcomer", "card");

    EXPECT_EQ(book.size(), CardBook::kMaxCards);
    EXPECT_NE(book.find("nick0"), nullptr);
    EXPECT_EQ(book.find("nick1"), nullptr);
    EXPECT_NE(book.find("newcomer"), nullptr);
}

TEST(CardBook, ListsCardsOldestFirst)
{
    CardBook book;
    book.publish("a", "1");
    book.publish("b", "2");
    book.publish("a", "3");
    EXPECT_EQ(book.cards(), (std::vector<Card>{{"b", "2"}, {"a", "3"}}));
}

} // namespace
} // namespace kovrel::server

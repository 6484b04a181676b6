// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "card_book.h"

namespace kovrel::server {

// A card as it is kept: `key` identifies it (its nick in lower case), `order` grows with every
// publication, so that the card published longest ago can be found again after a restart.
struct StoredCard
{
    std::string key;
    Card card;
    std::uint64_t order = 0;

    friend bool operator==(const StoredCard&, const StoredCard&) = default;
};

// What the server keeps across restarts; cards oldest first.
struct StoredState
{
    std::string topic;
    std::vector<StoredCard> cards;

    friend bool operator==(const StoredState&, const StoredState&) = default;
};

// Where every change of what the server keeps goes, one change at a time, so that it can be written as it
// happens instead of rewriting everything.
class KeptStateSink
{
public:
    virtual ~KeptStateSink() = default;

    virtual void topicChanged(std::string_view topic) = 0;
    virtual void cardStored(const StoredCard& card) = 0;
    virtual void cardRemoved(const std::string& key) = 0;
};

} // namespace kovrel::server

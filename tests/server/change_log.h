// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "kept_state.h"

namespace kovrel::server::test {

// What the state store would be told, in order.
struct ChangeLog : KeptStateSink
{
    void topicChanged(std::string_view topic) override { changes.push_back("topic " + std::string(topic)); }
    void cardStored(const StoredCard& card) override { changes.push_back("card " + card.card.nick); }
    void cardRemoved(const std::string& key) override { changes.push_back("removed " + key); }

    std::vector<std::string> changes;
};

} // namespace kovrel::server::test

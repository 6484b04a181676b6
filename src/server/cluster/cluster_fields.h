// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "account_book.h"
#include "kept_state.h"

namespace kovrel::server {

// How the nodes of a cluster join fields in the values they keep in Redis and the messages they publish.
inline constexpr char kFieldSeparator = '\n'; // never in a nick, an address, a node name or an event kind

// Splits off the text before the first separator.
std::string_view takeField(std::string_view& text);

// A member's state as its digit; anything else is 0.
int parseState(std::string_view text);

// The key, nick, address, refresh time and order, then the fields (which may hold line breaks) to the end.
std::string cardText(const StoredCard& stored);
std::optional<StoredCard> parseCard(std::string_view text);

// The nick, then the password's hash.
std::string accountText(const Account& account);
std::optional<Account> parseAccount(std::string_view text);

} // namespace kovrel::server

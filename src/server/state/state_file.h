// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "card_book.h"

namespace kovrel::server {

// What the server remembers across restarts.
struct KeptState
{
    std::string topic;
    std::vector<Card> cards;

    friend bool operator==(const KeptState&, const KeptState&) = default;
};

// The state file of earlier versions, read once to import it into the state database: a header line, then
// records whose texts are stored with their byte counts, so that any byte (line breaks in a card's
// description included) survives unchanged.
//   kovrel-state 1
//   topic <size>\n<topic>\n
//   card <nick size> <fields size>\n<nick><fields>\n
class StateFileError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A missing or empty file is an empty state; a file that cannot be read or parsed throws StateFileError.
KeptState loadKeptState(const std::filesystem::path& file);

std::string serializeKeptState(const KeptState& state);
KeptState parseKeptState(std::string_view text);

} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

#include "account_book.h"
#include "password_hash.h"

namespace kovrel::server::test {

// An account whose hash costs next to nothing to check, so that tests of what surrounds the check run fast.
inline Account quickAccount(std::string nick, std::string_view password)
{
    const ScryptCost cost{4, 1, 1};
    const std::string salt = "sea salt";
    return {std::move(nick), PasswordHash{cost, salt, deriveKey(password, salt, cost, 32)}.text()};
}

} // namespace kovrel::server::test

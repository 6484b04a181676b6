// SPDX-License-Identifier: GPL-3.0-or-later
#include "cluster_fields.h"

#include <charconv>

#include "cp1251.h"

namespace kovrel::server {

std::string_view takeField(std::string_view& text)
{
    const std::size_t end = text.find(kFieldSeparator);
    const std::string_view field = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    return field;
}

int parseState(std::string_view text)
{
    return text.size() == 1 && text[0] >= '0' && text[0] <= '3' ? text[0] - '0' : 0;
}

std::string cardText(const StoredCard& stored)
{
    std::string text = stored.key;
    for (const std::string& field : {stored.card.nick, stored.card.address,
                                     std::to_string(stored.card.refreshed), std::to_string(stored.order)}) {
        text.append(1, kFieldSeparator).append(field);
    }
    return text.append(1, kFieldSeparator).append(stored.card.fields);
}

std::optional<StoredCard> parseCard(std::string_view text)
{
    StoredCard stored;
    stored.key = takeField(text);
    stored.card.nick = takeField(text);
    stored.card.address = takeField(text);
    const std::string_view refreshed = takeField(text);
    const std::string_view order = takeField(text);
    stored.card.fields = text;
    const bool numbers =
        std::from_chars(refreshed.data(), refreshed.data() + refreshed.size(), stored.card.refreshed).ec ==
            std::errc() &&
        std::from_chars(order.data(), order.data() + order.size(), stored.order).ec == std::errc();
    if (!numbers || stored.key.empty() || stored.key != cp1251::toLowerCase(stored.card.nick)) {
        return std::nullopt;
    }
    return stored;
}

std::string accountText(const Account& account)
{
    return account.nick + kFieldSeparator + account.passwordHash;
}

std::optional<Account> parseAccount(std::string_view text)
{
    Account account;
    account.nick = takeField(text);
    account.passwordHash = text;
    if (account.nick.empty() || account.passwordHash.empty()) {
        return std::nullopt;
    }
    return account;
}

} // namespace kovrel::server

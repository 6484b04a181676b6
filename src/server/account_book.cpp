// SPDX-License-Identifier: GPL-3.0-or-later
#include "account_book.h"

#include <utility>

#include "message_text.h"

namespace kovrel::server {

std::optional<Account> AccountCache::find(std::string_view nick)
{
    const std::string skeleton = nickSkeleton(nick);
    const std::lock_guard lock(m_mutex);
    const auto account = m_accounts.find(skeleton);
    return account == m_accounts.end() ? std::nullopt : std::optional(account->second);
}

void AccountCache::replace(std::vector<Account> accounts)
{
    std::unordered_map<std::string, Account> map;
    for (Account& account : accounts) {
        std::string skeleton = nickSkeleton(account.nick);
        map.insert_or_assign(std::move(skeleton), std::move(account));
    }
    const std::lock_guard lock(m_mutex);
    m_accounts.swap(map);
}

} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

#include "account_book.h"
#include "event_log.h"
#include "redis_connection.h"

namespace kovrel::server {

// The accounts as a cluster keeps them in Redis, one hash of account texts (accountText()) by what their
// nick reads as, and this node's copy of them. The copy is read whenever Redis becomes reachable, and
// again whenever the administrator's command announces a change on the room's channel.
class RedisAccounts
{
public:
    static constexpr std::string_view kKey = "kovrel:accounts";
    // The kind of the room's event that announces a change of the accounts.
    static constexpr std::string_view kChanged = "accounts";

    // `nodeId` names this node in the log; it must outlive this.
    RedisAccounts(RedisConnection& commands, AccountCache& copy, const std::string& nodeId, EventLog& log);

    void read();
    // Whether the accounts have been read at least once: before, no nick is known to be free.
    bool known() const { return m_known; }

private:
    RedisConnection& m_commands;
    AccountCache& m_copy;
    const std::string& m_id;
    EventLog& m_log;
    bool m_known = false;
};

} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
#include "redis_accounts.h"

#include <optional>
#include <utility>
#include <vector>

#include "cluster_fields.h"

namespace kovrel::server {

RedisAccounts::RedisAccounts(RedisConnection& commands, AccountCache& copy, const std::string& nodeId,
                             EventLog& log)
    : m_commands(commands), m_copy(copy), m_id(nodeId), m_log(log)
{}

void RedisAccounts::read()
{
    m_commands.command({"HGETALL", kKey}, [this](const RedisReply& reply) {
        if (reply.kind == RedisReply::Kind::Error) {
            m_log.write("cluster", m_id, {}, "the accounts could not be read: " + reply.text);
        }
        if (reply.kind != RedisReply::Kind::Array) {
            return; // read again when Redis is back, or when the accounts change
        }
        std::vector<Account> accounts;
        // Field names and values alternate.
        for (std::size_t i = 1; i < reply.elements.size(); i += 2) {
            if (std::optional<Account> account = parseAccount(reply.elements[i].text)) {
                accounts.push_back(std::move(*account));
            }
        }
        m_log.write("cluster", m_id, {}, std::to_string(accounts.size()) + " accounts read");
        m_copy.replace(std::move(accounts));
        m_known = true;
    });
}

} // namespace kovrel::server

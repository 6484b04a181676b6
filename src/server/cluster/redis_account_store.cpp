// SPDX-License-Identifier: GPL-3.0-or-later
#include "redis_account_store.h"

#include <stdexcept>

#include <hiredis/hiredis.h>

#include "cluster_fields.h"
#include "event_relay.h"
#include "message_text.h"
#include "redis_accounts.h"

namespace kovrel::server {
namespace {

// Long enough for a Redis across the LAN, short enough that a wrong address fails while one waits.
constexpr timeval kTimeout{5, 0};

// Names this command in the messages of the room's channel, where the nodes put their ids.
constexpr std::string_view kAdministrator = "admin";

} // namespace

void RedisAccountStore::ReplyDeleter::operator()(redisReply* reply) const
{
    freeReplyObject(reply);
}

RedisAccountStore::RedisAccountStore(const RedisAddress& address) : m_address(address)
{
    m_context = redisConnectWithTimeout(address.host.c_str(), address.port, kTimeout);
    if (m_context == nullptr || m_context->err != 0) {
        const std::string why = m_context ? m_context->errstr : "out of memory";
        redisFree(m_context);
        throw std::runtime_error("cannot connect to " + address.text() + ": " + why);
    }
    redisSetTimeout(m_context, kTimeout);
    if (const std::vector<std::string_view> auth = address.authCommand(); !auth.empty()) {
        run(auth);
    }
    run({"SELECT", std::to_string(address.database)});
}

RedisAccountStore::~RedisAccountStore()
{
    redisFree(m_context);
}

RedisAccountStore::Reply RedisAccountStore::run(const std::vector<std::string_view>& arguments)
{
    std::vector<const char*> values;
    std::vector<std::size_t> lengths;
    for (const std::string_view argument : arguments) {
        values.push_back(argument.data());
        lengths.push_back(argument.size());
    }
    Reply reply(static_cast<redisReply*>(
        redisCommandArgv(m_context, static_cast<int>(values.size()), values.data(), lengths.data())));
    if (!reply) {
        throw std::runtime_error(m_address.text() + ": " + m_context->errstr);
    }
    if (reply->type == REDIS_REPLY_ERROR) {
        throw std::runtime_error(m_address.text() + ": " + std::string(arguments.front()) +
                                 " refused: " + std::string(reply->str, reply->len));
    }
    return reply;
}

std::vector<Account> RedisAccountStore::accounts()
{
    const Reply reply = run({"HGETALL", RedisAccounts::kKey});
    std::vector<Account> accounts;
    // Field names and values alternate.
    for (std::size_t i = 1; i < reply->elements; i += 2) {
        const redisReply* value = reply->element[i];
        if (std::optional<Account> account = parseAccount({value->str, value->len})) {
            accounts.push_back(std::move(*account));
        }
    }
    return accounts;
}

std::optional<std::string> RedisAccountStore::addAccount(const Account& account)
{
    const std::string skeleton = nickSkeleton(account.nick);
    const Reply added = run({"HSETNX", RedisAccounts::kKey, skeleton, accountText(account)});
    if (added->integer == 0) {
        return nickAt(skeleton).value_or(account.nick);
    }
    announceChange();
    return std::nullopt;
}

std::optional<std::string> RedisAccountStore::removeAccount(std::string_view nick)
{
    const std::string skeleton = nickSkeleton(nick);
    const std::optional<std::string> removed = nickAt(skeleton);
    if (run({"HDEL", RedisAccounts::kKey, skeleton})->integer == 0) {
        return std::nullopt;
    }
    announceChange();
    return removed.value_or(std::string(nick));
}

std::optional<std::string> RedisAccountStore::nickAt(const std::string& skeleton)
{
    const Reply reply = run({"HGET", RedisAccounts::kKey, skeleton});
    if (reply->type != REDIS_REPLY_STRING) {
        return std::nullopt;
    }
    const std::optional<Account> account = parseAccount({reply->str, reply->len});
    return account ? std::optional(account->nick) : std::nullopt;
}

void RedisAccountStore::announceChange()
{
    std::string payload(RedisAccounts::kChanged);
    payload.append(1, kFieldSeparator).append(kAdministrator).append(1, kFieldSeparator);
    run({"PUBLISH", channelOfRoom(m_address.database), payload});
}

} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "account_book.h"
#include "redis_address.h"

struct redisContext;
struct redisReply;

namespace kovrel::server {

// The accounts of a cluster as the administrator's commands change them, through a blocking connection of
// their own to the cluster's Redis. Every change is announced on the room's channel, so that every node
// reads the accounts again.
class RedisAccountStore : public AccountStore
{
public:
    // Connects, logs in and selects the database; throws std::runtime_error when it cannot.
    explicit RedisAccountStore(const RedisAddress& address);
    ~RedisAccountStore() override;
    RedisAccountStore(const RedisAccountStore&) = delete;
    RedisAccountStore& operator=(const RedisAccountStore&) = delete;

    std::vector<Account> accounts() override;
    std::optional<std::string> addAccount(const Account& account) override;
    std::optional<std::string> removeAccount(std::string_view nick) override;

private:
    struct ReplyDeleter
    {
        void operator()(redisReply* reply) const;
    };
    using Reply = std::unique_ptr<redisReply, ReplyDeleter>;

    // The reply to the command; throws std::runtime_error when there is none, or an error.
    Reply run(const std::vector<std::string_view>& arguments);
    // The nick of the account kept under `skeleton`, if there is one.
    std::optional<std::string> nickAt(const std::string& skeleton);
    void announceChange();

    RedisAddress m_address;
    redisContext* m_context = nullptr;
};

} // namespace kovrel::server

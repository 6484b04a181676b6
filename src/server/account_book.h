// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kovrel::server {

// A reserved nick: it, and every nick that reads like it, is only for a connection that gave its password.
struct Account
{
    std::string nick;         // as the administrator spelled it
    std::string passwordHash; // the text of a PasswordHash

    friend bool operator==(const Account&, const Account&) = default;
};

// Where a running server looks accounts up. Safe to call from any thread.
class AccountBook
{
public:
    virtual ~AccountBook() = default;

    // The account whose nick reads as `nick`, if there is one.
    virtual std::optional<Account> find(std::string_view nick) = 0;
};

// Accounts held in memory, replaced whole by whoever reads them from where they are kept.
class AccountCache : public AccountBook
{
public:
    std::optional<Account> find(std::string_view nick) override;
    void replace(std::vector<Account> accounts);

private:
    std::mutex m_mutex;
    // By what their nick reads as (nickSkeleton()).
    std::unordered_map<std::string, Account> m_accounts;
};

// Where accounts are kept, as the administrator's commands change them.
class AccountStore
{
public:
    virtual ~AccountStore() = default;

    virtual std::vector<Account> accounts() = 0;
    // Adds the account, unless one whose nick reads the same is kept already: then nothing is added, and
    // that one's nick is returned.
    virtual std::optional<std::string> addAccount(const Account& account) = 0;
    // Removes the account whose nick reads as `nick` and returns its nick; nothing when there is none.
    virtual std::optional<std::string> removeAccount(std::string_view nick) = 0;
};

} // namespace kovrel::server

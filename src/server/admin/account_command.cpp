// SPDX-License-Identifier: GPL-3.0-or-later
#include "account_command.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "account_book.h"
#include "cp1251.h"
#include "event_log.h"
#include "message_text.h"
#include "password_hash.h"
#include "password_input.h"
#include "redis_account_store.h"
#include "state_import.h"

namespace kovrel::server {
namespace {

std::string inQuotes(std::string_view text)
{
    return "\"" + std::string(text) + "\"";
}

// The text as the clients send it, in Windows-1251; throws when it has characters they cannot send.
std::string onTheWire(std::string_view utf8, std::string_view what)
{
    std::string text = cp1251::fromUtf8(utf8);
    if (cp1251::toUtf8(text) != utf8) {
        throw std::runtime_error(std::string(what) + " has characters that Windows-1251 lacks: no client " +
                                 "could send it");
    }
    return text;
}

std::unique_ptr<AccountStore> openStore(const ServerOptions& options)
{
    if (options.stateFile) {
        // Only the import of an old state file logs, as the server would on its first start.
        EventLog log(std::cerr, false);
        return openStateDatabase(*options.stateFile, log);
    }
    return std::make_unique<RedisAccountStore>(options.cluster->redis);
}

void addAccount(AccountStore& store, const std::string& typed)
{
    const std::string nick = onTheWire(typed, inQuotes(typed));
    if (!isValidNick(nick)) {
        throw std::runtime_error(inQuotes(typed) +
                                 " is not a nick the server admits: blank, too long (over " +
                                 std::to_string(kMaxNickSize) + " bytes), with \"|\", control characters " +
                                 "or blanks at either end, or a dotted IPv4 address");
    }
    const auto reportTaken = [&typed](const std::string& holder) {
        const std::string owner = cp1251::toUtf8(holder);
        return std::runtime_error(owner == typed ? inQuotes(typed) + " has an account already"
                                                 : inQuotes(typed) + " reads like " + inQuotes(owner) +
                                                       ", which has an account already");
    };
    const std::vector<Account> accounts = store.accounts();
    const auto holder = std::find_if(accounts.begin(), accounts.end(), [&nick](const Account& account) {
        return nickSkeleton(account.nick) == nickSkeleton(nick);
    });
    if (holder != accounts.end()) {
        throw reportTaken(holder->nick);
    }
    const std::string password = onTheWire(readNewPassword(typed), "the password");
    if (password.empty()) {
        throw std::runtime_error("an empty password is refused; nothing was changed");
    }
    if (const std::optional<std::string> taken = store.addAccount({nick, hashPassword(password)})) {
        throw reportTaken(*taken);
    }
    std::cout << "added an account for " << inQuotes(typed) << '\n';
}

void removeAccount(AccountStore& store, const std::string& typed)
{
    const std::optional<std::string> removed = store.removeAccount(cp1251::fromUtf8(typed));
    if (!removed) {
        throw std::runtime_error("no account for " + inQuotes(typed) +
                                 " (nor for a nick that reads like it)");
    }
    std::cout << "removed the account of " << inQuotes(cp1251::toUtf8(*removed)) << '\n';
}

void listAccounts(AccountStore& store)
{
    std::vector<Account> accounts = store.accounts();
    std::sort(accounts.begin(), accounts.end(),
              [](const Account& a, const Account& b) { return nickSkeleton(a.nick) < nickSkeleton(b.nick); });
    for (const Account& account : accounts) {
        std::cout << cp1251::toUtf8(account.nick) << '\n';
    }
}

} // namespace

void runAccountCommand(const ServerOptions& options)
{
    const std::unique_ptr<AccountStore> store = openStore(options);
    switch (options.accountCommand->kind) {
    case AccountCommand::Kind::Add:
        addAccount(*store, options.accountCommand->nick);
        break;
    case AccountCommand::Kind::Remove:
        removeAccount(*store, options.accountCommand->nick);
        break;
    case AccountCommand::Kind::List:
        listAccounts(*store);
        break;
    }
}

} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string_view>

#include "account_book.h"
#include "event_log.h"
#include "state_database.h"

namespace kovrel::server {

// The accounts of the state database as the running server looks them up, through a connection of its
// own. The administrator adds and removes accounts beside the running server: they are read again
// whenever the database has changed since they were last read, which SQLite tells at the cost of a look at
// its shared memory. Safe to call from any thread.
class StateAccounts : public AccountBook
{
public:
    // Throws StateDatabaseError when the database cannot be opened.
    StateAccounts(const std::filesystem::path& file, EventLog& log);

    // When the accounts cannot be read, the ones read last are used.
    std::optional<Account> find(std::string_view nick) override;

private:
    void readIfChanged();

    std::mutex m_mutex;
    StateDatabase m_database;
    std::optional<std::int64_t> m_version; // of the database when the accounts were read
    AccountCache m_accounts;
    EventLog& m_log;
    bool m_failing = false; // the last read failed, and said so in the log
};

} // namespace kovrel::server

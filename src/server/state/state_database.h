// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include <sys/types.h>

#include "account_book.h"
#include "kept_state.h"

struct sqlite3;
struct sqlite3_stmt;

namespace kovrel::server {

class StateDatabaseError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct TopicChange
{
    std::string topic;
};

struct CardRemoval
{
    std::string key;
};

using StateChange = std::variant<TopicChange, StoredCard, CardRemoval>;

// What the server keeps, in an SQLite database with a write-ahead log: the topic, one row per card and one
// per account. Every change is one statement; a batch of changes is one transaction, so a crash keeps all
// of it or none. Accounts are changed by the administrator's commands, in a process of their own beside
// the server. Not thread-safe: one thread uses it at a time.
class StateDatabase : public AccountStore
{
public:
    // Opens the database at `file`, creating it (and its tables) when missing; throws StateDatabaseError.
    explicit StateDatabase(const std::filesystem::path& file);
    ~StateDatabase() override;
    StateDatabase(const StateDatabase&) = delete;
    StateDatabase& operator=(const StateDatabase&) = delete;

    // True when `file` begins as every SQLite database does.
    static bool isDatabase(const std::filesystem::path& file);

    StoredState load();
    // Writes the changes in one transaction; throws StateDatabaseError, and then none of them is written.
    void apply(std::span<const StateChange> changes);
    // Makes the database hold exactly `state`, in one transaction.
    void replaceAll(const StoredState& state);

    // False when the file at the database's path is no longer the one open: removed, moved away with its
    // folder, or replaced. What is written then would be lost.
    bool stillAtItsPath() const;

    std::vector<Account> accounts() override;
    std::optional<std::string> addAccount(const Account& account) override;
    std::optional<std::string> removeAccount(std::string_view nick) override;
    // Changes whenever another connection (another process) has changed the database since the last call.
    std::int64_t dataVersion();

private:
    class Statement;

    void execute(const char* sql);
    void write(const StateChange& change);
    std::optional<std::string> accountNick(std::string_view skeleton);
    template <typename Writes> void transaction(Writes writes);
    [[noreturn]] void fail(std::string_view what) const;

    std::filesystem::path m_file;
    sqlite3* m_db = nullptr;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};

} // namespace kovrel::server

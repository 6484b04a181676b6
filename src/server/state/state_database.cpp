// SPDX-License-Identifier: GPL-3.0-or-later
#include "state_database.h"

#include <cstdint>
#include <fstream>
#include <string_view>
#include <utility>

#include "message_text.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kovrel::server {
namespace {

// Bumped when the tables change; a database of a later version is not touched. Version 2 added the
// accounts, which a server of version 1 would not honour.
constexpr int kSchemaVersion = 2;

constexpr const char* kSchema = R"(
    CREATE TABLE IF NOT EXISTS topic (
        id INTEGER PRIMARY KEY CHECK (id = 1),
        text BLOB NOT NULL);
    CREATE TABLE IF NOT EXISTS cards (
        key BLOB PRIMARY KEY,
        nick BLOB NOT NULL,
        fields BLOB NOT NULL,
        address TEXT NOT NULL,
        refreshed INTEGER NOT NULL,
        published INTEGER NOT NULL);
    CREATE TABLE IF NOT EXISTS accounts (
        skeleton BLOB PRIMARY KEY,
        nick BLOB NOT NULL,
        password_hash TEXT NOT NULL);
)";

constexpr std::string_view kDatabaseHeader{"SQLite format 3\0", 16};

bool identify(const std::filesystem::path& file, dev_t& device, ino_t& inode)
{
    struct stat status
    {};
    if (::stat(file.c_str(), &status) != 0) {
        return false;
    }
    device = status.st_dev;
    inode = status.st_ino;
    return true;
}

// Cards are personal: a new database is readable by the server's user only, and SQLite gives its log files
// the database's permissions. An existing one is not opened: the locks of a process on a file go with the
// first close of any of its descriptors, so closing one here would take SQLite's locks from the process's
// other connections to it, and another process could then delete the write-ahead log they read.
void createPrivately(const std::filesystem::path& file)
{
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
    }
}

} // namespace

// One prepared statement; texts are bound as blobs, since nicks and cards are Windows-1251 bytes.
class StateDatabase::Statement
{
public:
    Statement(const StateDatabase& database, const char* sql) : m_database(database)
    {
        if (sqlite3_prepare_v2(database.m_db, sql, -1, &m_statement, nullptr) != SQLITE_OK) {
            database.fail(sql);
        }
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, std::string_view bytes)
    {
        check(sqlite3_bind_blob(m_statement, index, bytes.data(), static_cast<int>(bytes.size()),
                                SQLITE_STATIC));
        return *this;
    }

    Statement& bind(int index, std::int64_t number)
    {
        check(sqlite3_bind_int64(m_statement, index, number));
        return *this;
    }

    // True while there is a row to read.
    bool step()
    {
        const int result = sqlite3_step(m_statement);
        if (result != SQLITE_ROW && result != SQLITE_DONE) {
            m_database.fail("step");
        }
        return result == SQLITE_ROW;
    }

    // Runs a statement that returns no rows, and readies it for the next values.
    void run()
    {
        step();
        sqlite3_reset(m_statement);
    }

    std::string bytes(int column) const
    {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(m_statement, column));
        return data ? std::string(data, static_cast<std::size_t>(sqlite3_column_bytes(m_statement, column)))
                    : std::string();
    }

    std::int64_t number(int column) const { return sqlite3_column_int64(m_statement, column); }

private:
    void check(int result) const
    {
        if (result != SQLITE_OK) {
            m_database.fail("bind");
        }
    }

    const StateDatabase& m_database;
    sqlite3_stmt* m_statement = nullptr;
};

StateDatabase::StateDatabase(const std::filesystem::path& file) : m_file(file)
{
    createPrivately(file);
    const int opened = sqlite3_open_v2(
        file.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    try {
        if (opened != SQLITE_OK) {
            fail("cannot open");
        }
        // Another process holding it briefly (a backup) is waited for, not an error.
        sqlite3_busy_timeout(m_db, 1000);
        execute("PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL;");
        Statement version(*this, "PRAGMA user_version");
        version.step();
        if (version.number(0) > kSchemaVersion) {
            throw StateDatabaseError(file.string() + " was written by a later version of kovrel-server");
        }
        execute(kSchema);
        execute(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
        if (!identify(file, m_device, m_inode)) {
            fail("cannot see the file it opened");
        }
    } catch (...) {
        sqlite3_close(m_db);
        throw;
    }
}

StateDatabase::~StateDatabase()
{
    sqlite3_close(m_db);
}

bool StateDatabase::isDatabase(const std::filesystem::path& file)
{
    std::string header(kDatabaseHeader.size(), '\0');
    std::ifstream in(file, std::ios::binary);
    return in.read(header.data(), static_cast<std::streamsize>(header.size())) && header == kDatabaseHeader;
}

StoredState StateDatabase::load()
{
    StoredState state;
    Statement topic(*this, "SELECT text FROM topic WHERE id = 1");
    if (topic.step()) {
        state.topic = topic.bytes(0);
    }
    Statement cards(*this,
                    "SELECT key, nick, fields, address, refreshed, published FROM cards ORDER BY published");
    while (cards.step()) {
        state.cards.push_back({cards.bytes(0),
                               {cards.bytes(1), cards.bytes(2), cards.bytes(3), cards.number(4)},
                               static_cast<std::uint64_t>(cards.number(5))});
    }
    return state;
}

void StateDatabase::apply(std::span<const StateChange> changes)
{
    transaction([&] {
        for (const StateChange& change : changes) {
            write(change);
        }
    });
}

void StateDatabase::replaceAll(const StoredState& state)
{
    transaction([&] {
        execute("DELETE FROM cards");
        write(TopicChange{state.topic});
        for (const StoredCard& card : state.cards) {
            write(card);
        }
    });
}

bool StateDatabase::stillAtItsPath() const
{
    dev_t device = 0;
    ino_t inode = 0;
    return identify(m_file, device, inode) && device == m_device && inode == m_inode;
}

std::vector<Account> StateDatabase::accounts()
{
    std::vector<Account> accounts;
    Statement rows(*this, "SELECT nick, password_hash FROM accounts ORDER BY skeleton");
    while (rows.step()) {
        accounts.push_back({rows.bytes(0), rows.bytes(1)});
    }
    return accounts;
}

std::optional<std::string> StateDatabase::addAccount(const Account& account)
{
    const std::string skeleton = nickSkeleton(account.nick);
    std::optional<std::string> existing;
    transaction([&] {
        existing = accountNick(skeleton);
        if (!existing) {
            Statement(*this, "INSERT INTO accounts (skeleton, nick, password_hash) VALUES (?, ?, ?)")
                .bind(1, skeleton)
                .bind(2, account.nick)
                .bind(3, account.passwordHash)
                .run();
        }
    });
    return existing;
}

std::optional<std::string> StateDatabase::removeAccount(std::string_view nick)
{
    const std::string skeleton = nickSkeleton(nick);
    std::optional<std::string> removed;
    transaction([&] {
        removed = accountNick(skeleton);
        Statement(*this, "DELETE FROM accounts WHERE skeleton = ?").bind(1, skeleton).run();
    });
    return removed;
}

std::optional<std::string> StateDatabase::accountNick(std::string_view skeleton)
{
    Statement row(*this, "SELECT nick FROM accounts WHERE skeleton = ?");
    row.bind(1, skeleton);
    return row.step() ? std::optional(row.bytes(0)) : std::nullopt;
}

std::int64_t StateDatabase::dataVersion()
{
    Statement version(*this, "PRAGMA data_version");
    version.step();
    return version.number(0);
}

void StateDatabase::execute(const char* sql)
{
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        fail(sql);
    }
}

void StateDatabase::write(const StateChange& change)
{
    if (const auto* topic = std::get_if<TopicChange>(&change)) {
        Statement(*this, "INSERT OR REPLACE INTO topic (id, text) VALUES (1, ?)").bind(1, topic->topic).run();
    } else if (const auto* card = std::get_if<StoredCard>(&change)) {
        Statement(*this, "INSERT OR REPLACE INTO cards (key, nick, fields, address, refreshed, published) "
                         "VALUES (?, ?, ?, ?, ?, ?)")
            .bind(1, card->key)
            .bind(2, card->card.nick)
            .bind(3, card->card.fields)
            .bind(4, card->card.address)
            .bind(5, card->card.refreshed)
            .bind(6, static_cast<std::int64_t>(card->order))
            .run();
    } else {
        Statement(*this, "DELETE FROM cards WHERE key = ?").bind(1, std::get<CardRemoval>(change).key).run();
    }
}

template <typename Writes> void StateDatabase::transaction(Writes writes)
{
    execute("BEGIN IMMEDIATE");
    try {
        writes();
        execute("COMMIT");
    } catch (...) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void StateDatabase::fail(std::string_view what) const
{
    const char* reason = m_db ? sqlite3_errmsg(m_db) : "out of memory";
    throw StateDatabaseError(m_file.string() + ": " + std::string(what) + ": " + reason);
}

} // namespace kovrel::server

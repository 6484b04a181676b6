// SPDX-License-Identifier: GPL-3.0-or-later
#include "state_import.h"

#include <system_error>

#include <fcntl.h>
#include <unistd.h>

#include "cp1251.h"
#include "state_file.h"

namespace kovrel::server {
namespace {

std::filesystem::path withSuffix(const std::filesystem::path& file, const char* suffix)
{
    std::filesystem::path named = file;
    named += suffix;
    return named;
}

// A non-empty file that is not a database: the state file of the earlier format. An empty one is what an
// administrator creates for us, and SQLite takes it as an empty database.
bool isOldStateFile(const std::filesystem::path& file)
{
    std::error_code ec;
    return std::filesystem::file_size(file, ec) > 0 && !ec && !StateDatabase::isDatabase(file);
}

StoredState storedState(const KeptState& old, Card::Clock::time_point now)
{
    StoredState state{old.topic, {}};
    for (const Card& card : old.cards) {
        state.cards.push_back({cp1251::toLowerCase(card.nick),
                               {card.nick, card.fields, {}, secondsSinceEpoch(now)},
                               state.cards.size() + 1});
    }
    return state;
}

// Flushes a file, or a folder's list of names, to the disk.
void syncToDisk(const std::filesystem::path& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        const std::error_code ec(errno, std::generic_category());
        if (fd >= 0) {
            ::close(fd);
        }
        throw StateDatabaseError("cannot flush " + path.string() + ": " + ec.message());
    }
    ::close(fd);
}

void removeDatabaseFiles(const std::filesystem::path& file)
{
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        std::filesystem::remove(withSuffix(file, suffix));
    }
}

// Each step leaves the old file in place until the database is complete, so an interrupted import is
// simply done again at the next start.
void importOldStateFile(const std::filesystem::path& file, EventLog& log)
{
    const KeptState old = loadKeptState(file);
    const std::filesystem::path building = withSuffix(file, ".importing");
    removeDatabaseFiles(building);
    StateDatabase(building).replaceAll(storedState(old, Card::Clock::now()));

    const std::filesystem::path kept = withSuffix(file, ".imported");
    std::filesystem::copy_file(file, kept, std::filesystem::copy_options::overwrite_existing);
    syncToDisk(kept);
    std::filesystem::rename(building, file);
    syncToDisk(file.parent_path().empty() ? "." : file.parent_path());
    log.write("state-imported", {}, {},
              file.string() + ": the topic and " + std::to_string(old.cards.size()) +
                  " cards; the old file is " + kept.string());
}

} // namespace

std::unique_ptr<StateDatabase> openStateDatabase(const std::filesystem::path& file, EventLog& log)
{
    if (isOldStateFile(file)) {
        importOldStateFile(file, log);
    }
    return std::make_unique<StateDatabase>(file);
}

} // namespace kovrel::server

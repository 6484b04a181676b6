// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <memory>

#include "event_log.h"
#include "state_database.h"

namespace kovrel::server {

// Opens the state database at `file`. A state file of the earlier format found there is imported first,
// so that nothing is lost by the upgrade: the database is built next to it, the old file is kept as
// FILE.imported, and the database takes its place. Its cards count as refreshed now. Throws
// StateDatabaseError, or StateFileError for an old file that cannot be read.
std::unique_ptr<StateDatabase> openStateDatabase(const std::filesystem::path& file, EventLog& log);

} // namespace kovrel::server

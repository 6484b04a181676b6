// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include <QByteArray>
#include <QString>

#include "settings_error.h"

// File access shared by the settings file and the autostart entry. Failures raise the given error.
namespace kovrel {

// What one stat() tells of a file, enough to see that it changed: any write, replacement or metadata
// change alters at least one of these. The times are in nanoseconds since the epoch.
struct FileIdentity
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0; // ctime, set by the kernel at every change, never by a program

    bool operator==(const FileIdentity&) const = default;
};

// Nothing when the file does not exist (or a folder on its path is a file).
std::optional<FileIdentity> fileIdentity(const QString& path, const SettingsFailure& failure);
// Nothing when the file does not exist.
std::optional<QByteArray> readFileIfExists(const QString& path, const SettingsFailure& failure);
void ensureFolderOf(const QString& path, const SettingsFailure& failure);
// Writes a temporary file in the same folder, flushes it to disk and renames it over `path`, so that
// readers, and a crash at any moment, see the old content or the new one but never a part of it. The new
// file keeps the permissions of the one it replaces; a symbolic link stays and its target is replaced.
// The new file's modification time is the later of now and one nanosecond past the replaced file's, so
// that every replacement changes the file's identity, even within one tick of the file system's clock
// with the same size and a recycled inode number.
// Returns the identity of the file put in place, or nothing when it could not be confirmed because the
// file was changed again right after the rename.
std::optional<FileIdentity> replaceFile(const QString& path, const QByteArray& content,
                                        const SettingsFailure& createFailure,
                                        const SettingsFailure& writeFailure);

// An exclusive lock on a lock file, held by the kernel for this process. It is released when the object
// is destroyed or the process ends, however it ends, so a writer killed while holding it blocks no one.
class ExclusiveFileLock
{
public:
    // Waits up to `timeout` for the lock, creating the lock file if needed.
    ExclusiveFileLock(const QString& lockPath, std::chrono::milliseconds timeout);
    ~ExclusiveFileLock();
    ExclusiveFileLock(const ExclusiveFileLock&) = delete;
    ExclusiveFileLock& operator=(const ExclusiveFileLock&) = delete;

    bool isLocked() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

} // namespace kovrel

#pragma once

#include <chrono>
#include <optional>

#include <QByteArray>
#include <QString>

#include "settings_error.h"

// File access shared by the settings file and the autostart entry. Failures raise the given error.
namespace kovrel {

// Nothing when the file does not exist.
std::optional<QByteArray> readFileIfExists(const QString& path, const SettingsError& failure);
void ensureFolderOf(const QString& path, const SettingsError& failure);
// Writes a temporary file in the same folder, flushes it to disk and renames it over `path`, so that
// readers, and a crash at any moment, see the old content or the new one but never a part of it.
void replaceFile(const QString& path, const QByteArray& content, const SettingsError& createFailure,
                 const SettingsError& writeFailure);

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

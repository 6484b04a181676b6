// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QHash>
#include <QString>

#include "settings_error.h"
#include "settings_file.h"
#include "settings_io.h"

namespace kovrel {

// The settings file as a lookup found it.
struct SettingsSnapshot
{
    std::optional<FileIdentity> identity;     // nothing: the file does not exist
    SettingsTree tree;                        // empty when the file is missing or damaged
    std::optional<SettingsParseError> damage; // the file exists but cannot be parsed
    bool fresh = false; // this lookup examined the file anew rather than using the kept copy
};

// Parsed copies of settings files, by path, so that reading a file that has not changed costs one stat()
// and no read.
//
// A copy serves a lookup only while the file has the identity it had when it was read (settings_io.h):
// any write, replacement, deletion or creation changes it, and the store's writers make sure that a
// rewrite within one tick of the file system's clock does too (replaceFile). A program that rewrites the
// file in place could still leave size, times and inode as they were if it did so within the tick in
// which the file was read; so a copy taken while the file's ctime was not yet older than the clock's
// current tick serves no later lookup, which reads the file again. A missing file is kept as missing.
//
// Within a read batch (SettingsReadBatch) a copy that a lookup of the batch has examined serves the later
// lookups of the batch without a stat().
//
// For one thread: the store is used from the user interface thread only.
class SettingsCache
{
public:
    // The copies the store uses, shared by every SettingsStore of the process.
    static SettingsCache& shared();

    // The file at `path` as it is now; within a read batch, as the batch first found it or as this process
    // wrote it since. Throws `failure` when the file cannot be examined or read; nothing is kept then.
    SettingsSnapshot lookup(const QString& path, const SettingsFailure& failure);
    // Like lookup(), but examines the file even within a read batch: for the writers, which hold the
    // file's lock and must not overwrite what another process wrote since the batch began.
    SettingsSnapshot examine(const QString& path, const SettingsFailure& failure);
    // Write-through: the file at `path` has just been replaced with `tree`, and has `identity`.
    void remember(const QString& path, const FileIdentity& identity, const SettingsTree& tree);
    void forget(const QString& path);

    // How many times a file's bytes were read, counted for the tests.
    int fileReads() const { return m_fileReads; }

private:
    friend class SettingsReadBatch;

    struct Entry
    {
        SettingsSnapshot snapshot;
        bool trusted = false; // may serve the next lookup when the identity is unchanged
        quint64 batch = 0;    // the read batch that last examined the file or wrote it; 0 for none
    };

    // The kept copy as a lookup returns it, the entry marked as examined by the current batch.
    SettingsSnapshot servedCopy(Entry& entry);
    void keep(const QString& path, Entry entry);
    quint64 currentBatch() const { return m_batchDepth > 0 ? m_batch : 0; }

    QHash<QString, Entry> m_entries;
    int m_fileReads = 0;
    int m_batchDepth = 0;
    quint64 m_batch = 0;
};

// The settings reads of one burst of work, such as the handling of the fields of one network read, which
// reads a few flags for every line it writes: while a batch is alive, each settings file is examined once,
// and every read sees the file as it was then, or as this process has written it since. A change another
// process makes meanwhile is seen by the first read after the batch. Batches nest; the outermost one counts.
class SettingsReadBatch
{
public:
    SettingsReadBatch();
    ~SettingsReadBatch();
    SettingsReadBatch(const SettingsReadBatch&) = delete;
    SettingsReadBatch& operator=(const SettingsReadBatch&) = delete;
};

} // namespace kovrel

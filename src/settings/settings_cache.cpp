// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings_cache.h"

#include <cstdint>
#include <ctime>

namespace kovrel {

namespace {

// A process uses one settings file, and tests a few; past this many paths the copies start afresh.
constexpr qsizetype kMaxPaths = 8;

// The clock whose tick stamps file times: whatever changes a file after this reading gets a ctime no
// earlier than it.
std::int64_t coarseNowNs()
{
    timespec now;
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

} // namespace

SettingsCache& SettingsCache::shared()
{
    static SettingsCache cache;
    return cache;
}

SettingsSnapshot SettingsCache::lookup(const QString& path, const SettingsFailure& failure)
{
    const auto kept = m_entries.find(path);
    if (kept != m_entries.end() && kept->batch != 0 && kept->batch == currentBatch())
        return servedCopy(*kept);
    return examine(path, failure);
}

SettingsSnapshot SettingsCache::examine(const QString& path, const SettingsFailure& failure)
{
    const std::int64_t now = coarseNowNs(); // before the stat
    const std::optional<FileIdentity> identity = fileIdentity(path, failure);
    const auto kept = m_entries.find(path);
    if (kept != m_entries.end() && kept->trusted && kept->snapshot.identity == identity)
        return servedCopy(*kept);

    Entry entry;
    entry.snapshot.identity = identity;
    entry.snapshot.fresh = true;
    if (identity) {
        ++m_fileReads;
        // Nothing if the file has gone since the stat: it reads as empty, the next lookup finds it gone.
        if (const std::optional<QByteArray> bytes = readFileIfExists(path, failure)) {
            try {
                entry.snapshot.tree = parseSettings(*bytes);
            } catch (const SettingsParseError& error) {
                entry.snapshot.damage = error;
            }
        }
    }
    entry.trusted = !identity || identity->changedNs < now;
    keep(path, entry);
    return entry.snapshot;
}

SettingsSnapshot SettingsCache::servedCopy(Entry& entry)
{
    entry.batch = currentBatch();
    SettingsSnapshot snapshot = entry.snapshot;
    snapshot.fresh = false;
    return snapshot;
}

void SettingsCache::remember(const QString& path, const FileIdentity& identity, const SettingsTree& tree)
{
    Entry entry;
    entry.snapshot.identity = identity;
    entry.snapshot.tree = tree;
    // replaceFile gave the file a modification time of its own, to the nanosecond, which no later change
    // keeps: this copy can be trusted at once.
    entry.trusted = true;
    keep(path, entry);
}

void SettingsCache::forget(const QString& path)
{
    m_entries.remove(path);
}

void SettingsCache::keep(const QString& path, Entry entry)
{
    if (m_entries.size() >= kMaxPaths && !m_entries.contains(path))
        m_entries.clear();
    entry.batch = currentBatch();
    m_entries.insert(path, entry);
}

SettingsReadBatch::SettingsReadBatch()
{
    SettingsCache& cache = SettingsCache::shared();
    if (cache.m_batchDepth++ == 0)
        ++cache.m_batch;
}

SettingsReadBatch::~SettingsReadBatch()
{
    --SettingsCache::shared().m_batchDepth;
}

} // namespace kovrel

// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings_cache.h"

#include <chrono>
#include <cstdint>
#include <ctime>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "settings_sandbox.h"
#include "settings_store.h"

// The parsed copy of the settings file: used while the file is unchanged, and never once it changed,
// whoever changed it and however quickly.
namespace kovrel {
namespace {

using namespace Qt::Literals::StringLiterals;

const SettingsFailure kFailure(&SettingsError::getDataFailed, u"test"_s);

class SettingsCacheTest : public ::testing::Test
{
protected:
    QString path() const { return m_sandbox.settingsPath(); }

    // As another program writes it: in place, the same inode, no lock.
    void writeInPlace(const QByteArray& content) const { m_sandbox.setSettingsFileContent(content); }

    static QByteArray withHost(const QByteArray& host)
    {
        return "[HKEY_CURRENT_USER\\Software\\Kovrel\\Client]\n\"Host\"=\"" + host + "\"\n";
    }

    static QString hostIn(const SettingsSnapshot& snapshot)
    {
        const SettingsKey* key = snapshot.tree.findKey(u"HKEY_CURRENT_USER\\Software\\Kovrel\\Client"_s);
        const SettingsValue* value = key ? key->findValue(u"Host"_s) : nullptr;
        return value ? value->data : u"<absent>"_s;
    }

    static std::int64_t coarseNowNs()
    {
        timespec now;
        ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
        return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    }

    // A copy taken in the clock tick of the file's last change is not used again (settings_cache.h), so
    // the tests that expect the copy to be used wait for the tick to end: a wait for the clock to move,
    // not a guess at how long anything takes.
    void waitForTheNextTick() const
    {
        const std::int64_t changed = fileIdentity(path(), kFailure)->changedNs;
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (coarseNowNs() <= changed) {
            ASSERT_LT(std::chrono::steady_clock::now(), giveUp) << "the clock does not move";
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    void setModified(const timespec& modified) const
    {
        const timespec times[2] = {{0, UTIME_OMIT}, modified};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path()).constData(), times, 0), 0);
    }

    test::SettingsSandbox m_sandbox;
    SettingsCache m_cache;
};

TEST_F(SettingsCacheTest, AnUnchangedFileIsReadOnce)
{
    writeInPlace(withHost("first"));
    waitForTheNextTick();
    EXPECT_EQ(hostIn(m_cache.lookup(path(), kFailure)), u"first"_s);
    EXPECT_EQ(m_cache.fileReads(), 1);
    for (int i = 0; i < 100; ++i) {
        const SettingsSnapshot snapshot = m_cache.lookup(path(), kFailure);
        EXPECT_EQ(hostIn(snapshot), u"first"_s);
        EXPECT_FALSE(snapshot.fresh);
    }
    EXPECT_EQ(m_cache.fileReads(), 1);
}

TEST_F(SettingsCacheTest, AMissingFileReadsAsEmptyWithoutReading)
{
    for (int i = 0; i < 3; ++i) {
        const SettingsSnapshot snapshot = m_cache.lookup(path(), kFailure);
        EXPECT_FALSE(snapshot.identity);
        EXPECT_TRUE(snapshot.tree.keys().isEmpty());
    }
    EXPECT_EQ(m_cache.fileReads(), 0);

    writeInPlace(withHost("created"));
    EXPECT_EQ(hostIn(m_cache.lookup(path(), kFailure)), u"created"_s);
}

// Another program rewrites the file in place with content of the same size, at once: the same inode,
// the same size, most likely the same clock tick, so even the same modification time. The next lookup
// sees the new content.
TEST_F(SettingsCacheTest, AnEditOfTheSameSizeAtOnceIsSeen)
{
    writeInPlace(withHost("aaaa"));
    EXPECT_EQ(hostIn(m_cache.lookup(path(), kFailure)), u"aaaa"_s);
    writeInPlace(withHost("bbbb"));
    EXPECT_EQ(hostIn(m_cache.lookup(path(), kFailure)), u"bbbb"_s);
    writeInPlace(withHost("cccc"));
    EXPECT_EQ(hostIn(m_cache.lookup(path(), kFailure)), u"cccc"_s);
}

// The copy is in use (the tick of the last change is over); then the file is rewritten in place with the
// same size and given back its modification time, to the nanosecond, as if the edit came within the
// same tick. Its ctime, which no program can set, still tells.
TEST_F(SettingsCacheTest, AnEditThatKeepsSizeAndModificationTimeIsSeen)
{
    writeInPlace(withHost("aaaa"));
    waitForTheNextTick();
    const SettingsSnapshot before = m_cache.lookup(path(), kFailure);
    EXPECT_EQ(hostIn(m_cache.lookup(path(), kFailure)), u"aaaa"_s);
    ASSERT_EQ(m_cache.fileReads(), 1);

    struct stat status;
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &status), 0);
    writeInPlace(withHost("bbbb"));
    setModified(status.st_mtim);
    const FileIdentity now = *fileIdentity(path(), kFailure);
    EXPECT_EQ(now.inode, before.identity->inode);
    EXPECT_EQ(now.size, before.identity->size);
    EXPECT_EQ(now.modifiedNs, before.identity->modifiedNs);

    EXPECT_EQ(hostIn(m_cache.lookup(path(), kFailure)), u"bbbb"_s);
    EXPECT_EQ(m_cache.fileReads(), 2);
}

// Where the file system's clock is coarse, an edit within the tick of the previous one can leave size
// and times as they were; so a copy taken in the tick of the file's last change serves no second lookup.
// (Kernels that stamp a file that was just examined with a finer time make that edit visible anyway.)
TEST_F(SettingsCacheTest, ACopyTakenInTheTickOfTheChangeIsNotUsedAgain)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        SettingsCache cache;
        writeInPlace(withHost(QByteArray::number(attempt)));
        cache.lookup(path(), kFailure);
        cache.lookup(path(), kFailure);
        if (coarseNowNs() > fileIdentity(path(), kFailure)->changedNs)
            continue; // the tick ended in between: try again
        EXPECT_EQ(cache.fileReads(), 2);
        return;
    }
    GTEST_SKIP() << "the clock's tick never lasted long enough";
}

TEST_F(SettingsCacheTest, ADeletedFileReadsAsEmpty)
{
    writeInPlace(withHost("there"));
    waitForTheNextTick();
    EXPECT_EQ(hostIn(m_cache.lookup(path(), kFailure)), u"there"_s);
    ASSERT_TRUE(QFile::remove(path()));
    const SettingsSnapshot snapshot = m_cache.lookup(path(), kFailure);
    EXPECT_FALSE(snapshot.identity);
    EXPECT_TRUE(snapshot.tree.keys().isEmpty());
}

TEST_F(SettingsCacheTest, ADamagedFileIsKeptAsDamagedUntilItChanges)
{
    writeInPlace("not a registry export\n");
    waitForTheNextTick();
    const SettingsSnapshot first = m_cache.lookup(path(), kFailure);
    ASSERT_TRUE(first.damage);
    EXPECT_EQ(first.damage->line(), 1);
    EXPECT_TRUE(first.fresh);
    const SettingsSnapshot again = m_cache.lookup(path(), kFailure);
    EXPECT_TRUE(again.damage);
    EXPECT_FALSE(again.fresh);
    EXPECT_EQ(m_cache.fileReads(), 1);

    writeInPlace(withHost("repaired"));
    const SettingsSnapshot repaired = m_cache.lookup(path(), kFailure);
    EXPECT_FALSE(repaired.damage);
    EXPECT_EQ(hostIn(repaired), u"repaired"_s);
}

TEST_F(SettingsCacheTest, AFileThatCannotBeReadRaisesAndIsNotKept)
{
    QDir().mkpath(path()); // a folder where the file should be
    for (int i = 0; i < 2; ++i)
        test::expectSettingsError([&] { m_cache.lookup(path(), kFailure); }, "Failed to get data for 'test'");
    ASSERT_TRUE(QDir().rmdir(path()));
    writeInPlace(withHost("file"));
    EXPECT_EQ(hostIn(m_cache.lookup(path(), kFailure)), u"file"_s);
}

TEST_F(SettingsCacheTest, KovrelSettingsMayChangeBetweenLookups)
{
    writeInPlace(withHost("one"));
    const QString other = m_sandbox.path(u"other.reg"_s);
    QFile file(other);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(withHost("two"));
    file.close();
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(hostIn(m_cache.lookup(path(), kFailure)), u"one"_s);
        EXPECT_EQ(hostIn(m_cache.lookup(other, kFailure)), u"two"_s);
    }
}

// The process-wide copy behind the store: a write leaves the tree it wrote, so reading it back reads no
// file, and every write gives the file a new identity, however fast the writes come.
class SettingsStoreCacheTest : public SettingsCacheTest
{
protected:
    SettingsStoreCacheTest() { m_store.OpenStore(u"Software\\Kovrel"_s); }

    SettingsStore m_store;
};

TEST_F(SettingsStoreCacheTest, AWriteIsReadBackWithoutReadingTheFile)
{
    const int reads = SettingsCache::shared().fileReads();
    m_store.WriteText(u"Client"_s, u"Host"_s, u"written"_s);
    m_store.WriteNumber(u"Client"_s, u"Port"_s, 4040);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Host"_s, {}), u"written"_s);
        EXPECT_EQ(m_store.ReadNumber(u"Client"_s, u"Port"_s, 0), 4040);
    }
    EXPECT_EQ(SettingsCache::shared().fileReads(), reads);
}

TEST_F(SettingsStoreCacheTest, EveryWriteChangesTheIdentityEvenWithinOneTick)
{
    m_store.WriteText(u"Client"_s, u"Host"_s, u"aaaa"_s);
    FileIdentity previous = *fileIdentity(path(), kFailure);
    for (int i = 0; i < 50; ++i) {
        m_store.WriteText(u"Client"_s, u"Host"_s, i % 2 == 0 ? u"bbbb"_s : u"aaaa"_s); // the same size
        const FileIdentity written = *fileIdentity(path(), kFailure);
        EXPECT_EQ(written.size, previous.size);
        EXPECT_GT(written.modifiedNs, previous.modifiedNs);
        previous = written;
    }
}

// Even a file stamped in the future by someone is replaced by a newer one, one nanosecond newer.
TEST_F(SettingsStoreCacheTest, AWriteIsNewerThanTheFileItReplaces)
{
    m_store.WriteText(u"Client"_s, u"Host"_s, u"aaaa"_s);
    const timespec future{4'102'444'800, 123}; // 2100-01-01
    setModified(future);
    m_store.WriteText(u"Client"_s, u"Host"_s, u"bbbb"_s);
    EXPECT_EQ(fileIdentity(path(), kFailure)->modifiedNs, 4'102'444'800'000'000'124);
    EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Host"_s, {}), u"bbbb"_s);
}

TEST_F(SettingsStoreCacheTest, AWriteOverAnEditedFileKeepsTheEdit)
{
    m_store.WriteText(u"Client"_s, u"Host"_s, u"mine"_s);
    EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Host"_s, {}), u"mine"_s);
    writeInPlace(withHost("edit"));
    m_store.WriteText(u"Client"_s, u"Nick"_s, u"Вася"_s);
    EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Host"_s, {}), u"edit"_s);
    EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Nick"_s, {}), u"Вася"_s);
}

// A batch reads one state of the file, however many reads it makes; its writes still start from the file
// as it is, and the first read after it sees any edit.
TEST_F(SettingsStoreCacheTest, AReadBatchExaminesTheFileOnceAndItsWritesKeepEdits)
{
    m_store.WriteText(u"Client"_s, u"Host"_s, u"mine"_s);
    {
        const SettingsReadBatch outer;
        EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Host"_s, {}), u"mine"_s);
        writeInPlace(withHost("edit"));
        {
            const SettingsReadBatch inner;
            EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Host"_s, {}), u"mine"_s);
        }
        EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Host"_s, {}), u"mine"_s);
        m_store.WriteText(u"Client"_s, u"Nick"_s, u"Вася"_s);
        EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Host"_s, {}), u"edit"_s);
        EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Nick"_s, {}), u"Вася"_s);
        writeInPlace(withHost("second edit"));
        EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Host"_s, {}), u"edit"_s);
    }
    EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Host"_s, {}), u"second edit"_s);
    {
        const SettingsReadBatch next;
        writeInPlace(withHost("third edit"));
        EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Host"_s, {}), u"third edit"_s);
    }
}

TEST_F(SettingsStoreCacheTest, ADamagedFileThatCannotBeKeptAsideIsReportedOnce)
{
    QDir().mkpath(path() + u".bad/occupied"_s); // the .bad name is taken by a folder that is not empty
    writeInPlace("not a registry export\n");
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Host"_s, u"default"_s), u"default"_s);
    ASSERT_EQ(m_sandbox.problems().size(), 1);
    EXPECT_TRUE(m_sandbox.problems()[0].contains(u"could not be kept aside"_s))
        << m_sandbox.problems()[0].toStdString();
    test::expectSettingsError([&] { m_store.WriteText(u"Client"_s, u"Host"_s, u"x"_s); },
                              "Failed to set data for 'Host'");
    EXPECT_EQ(m_sandbox.settingsFileContent(), "not a registry export\n");
    EXPECT_EQ(m_sandbox.problems().size(), 1);

    writeInPlace(withHost("repaired"));
    EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Host"_s, u"default"_s), u"repaired"_s);
    writeInPlace("damaged again\n");
    EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Host"_s, u"default"_s), u"default"_s);
    EXPECT_EQ(m_sandbox.problems().size(), 2);
}

} // namespace
} // namespace kovrel

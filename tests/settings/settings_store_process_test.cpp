// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings_store.h"

#include <gtest/gtest.h>

#include <QProcess>

#include "settings_file.h"
#include "settings_sandbox.h"

// The store shared by several processes: a writer killed at any moment, and writers taking turns or
// running at the same time. The second process is tests/settings/settings_test_writer.cpp.
namespace kovrel {
namespace {

using namespace Qt::Literals::StringLiterals;

// Only a guard against a hung child; nothing here depends on timing.
constexpr int kPatienceMs = 60000;

class SettingsStoreProcessTest : public ::testing::Test
{
protected:
    SettingsStoreProcessTest() { m_store.OpenStore(u"Software\\Kovrel"_s); }

    static void start(QProcess& process, const QStringList& arguments)
    {
        process.start(QStringLiteral(KOVREL_SETTINGS_WRITER), arguments);
        ASSERT_TRUE(process.waitForStarted(kPatienceMs)) << process.errorString().toStdString();
    }

    static QString nextLine(QProcess& process)
    {
        while (!process.canReadLine()) {
            if (!process.waitForReadyRead(kPatienceMs))
                return u"<no answer>"_s;
        }
        return QString::fromUtf8(process.readLine()).chopped(1);
    }

    static QString ask(QProcess& peer, const QString& command)
    {
        peer.write((command + u'\n').toUtf8());
        return nextLine(peer);
    }

    // Each round writes Counter and then Payload, a list of the round number: the file must hold the
    // state after some write, so the payload is complete and belongs to this round or the one before.
    void expectConsistentCrashState(int roundsReported)
    {
        const int counter = m_store.ReadNumber(u"Crash"_s, u"Counter"_s, 0);
        const QString payload = m_store.ReadText(u"Crash"_s, u"Payload"_s, QString());
        EXPECT_GE(counter, roundsReported);
        const QStringList items = payload.split(u',');
        ASSERT_EQ(items.size(), 2000) << "counter " << counter;
        EXPECT_EQ(items.count(items.first()), items.size());
        const int payloadRound = items.first().toInt();
        EXPECT_TRUE(payloadRound == counter || payloadRound == counter - 1)
            << "counter " << counter << ", payload of round " << payloadRound;
    }

    test::SettingsSandbox m_sandbox;
    SettingsStore m_store;
};

TEST_F(SettingsStoreProcessTest, AWriterKilledMidLoopNeverLeavesATornFile)
{
    for (const int killAfter : {2, 3, 5, 8, 13, 21}) {
        SCOPED_TRACE(killAfter);
        m_store.EraseSection(u"Crash"_s);
        QProcess writer;
        start(writer, {u"loop"_s});
        int reported = 0;
        while (reported < killAfter) {
            const QString line = nextLine(writer);
            ASSERT_NE(line, u"<no answer>"_s) << writer.readAllStandardError().toStdString();
            reported = line.toInt();
        }
        writer.kill();
        // Reaping the child lets the next writer see that the lock it may hold belongs to no process.
        ASSERT_TRUE(writer.waitForFinished(kPatienceMs));

        ASSERT_NO_THROW(parseSettings(m_sandbox.settingsFileContent()));
        expectConsistentCrashState(reported);
        m_store.WriteNumber(u"Crash"_s, u"After"_s, killAfter);
        EXPECT_EQ(m_store.ReadNumber(u"Crash"_s, u"After"_s, 0), killAfter);
    }
    EXPECT_TRUE(m_sandbox.problems().isEmpty()) << m_sandbox.problems().join(u'\n').toStdString();
}

TEST_F(SettingsStoreProcessTest, TwoProcessesWritingInTurnSeeEachOthersValues)
{
    QProcess peer;
    start(peer, {u"serve"_s});
    EXPECT_EQ(ask(peer, u"get\tClient\tHost"_s), u"<absent>"_s);
    for (int round = 1; round <= 3; ++round) {
        const QString mine = u"из теста %1"_s.arg(round);
        m_store.WriteText(u"Client"_s, u"Host"_s, mine);
        EXPECT_EQ(ask(peer, u"get\tCLIENT\thost"_s), mine);

        const QString theirs = u"от соседа %1"_s.arg(round);
        EXPECT_EQ(ask(peer, u"set\tClient\tNick\t"_s + theirs), u"ok"_s);
        EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Nick"_s, QString()), theirs);
        EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Host"_s, QString()), mine);
    }
    peer.closeWriteChannel();
    ASSERT_TRUE(peer.waitForFinished(kPatienceMs));
    EXPECT_EQ(peer.exitCode(), 0) << peer.readAllStandardError().toStdString();
}

TEST_F(SettingsStoreProcessTest, WritersRunningAtTheSameTimeLoseNoValue)
{
    constexpr int kCount = 60;
    QProcess first;
    QProcess second;
    start(first, {u"fill"_s, u"A"_s, QString::number(kCount)});
    start(second, {u"fill"_s, u"B"_s, QString::number(kCount)});
    for (QProcess* writer : {&first, &second}) {
        writer->write("go\n");
        ASSERT_TRUE(
            writer->waitForBytesWritten(kPatienceMs)); // without an event loop, nothing is sent before
    }
    for (QProcess* writer : {&first, &second}) {
        ASSERT_TRUE(writer->waitForFinished(kPatienceMs));
        EXPECT_EQ(writer->exitCode(), 0) << writer->readAllStandardError().toStdString();
    }

    QStringList lost;
    for (int i = 0; i < kCount; ++i) {
        for (const QString& name : {u"A%1"_s.arg(i), u"B%1"_s.arg(i)}) {
            if (m_store.ReadNumber(u"Fill"_s, name, -1) != i)
                lost.append(name);
        }
    }
    EXPECT_TRUE(lost.isEmpty()) << "lost: " << lost.join(u' ').toStdString();
    EXPECT_EQ(m_store.ListValueNames(u"Fill"_s).size(), 2 * kCount);
}

} // namespace
} // namespace kovrel

// SPDX-License-Identifier: GPL-3.0-or-later
#include "autostart.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "settings_sandbox.h"

namespace kovrel {
namespace {

using namespace Qt::Literals::StringLiterals;

class SettingsAutostartTest : public ::testing::Test
{
protected:
    QString entryPath() const { return m_sandbox.configHome() + u"/autostart/kovrel.desktop"_s; }

    QByteArray entry() const
    {
        QFile file(entryPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void setEntry(const QByteArray& content) const
    {
        QDir().mkpath(m_sandbox.configHome() + u"/autostart"_s);
        QFile file(entryPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    test::SettingsSandbox m_sandbox;
};

TEST_F(SettingsAutostartTest, TheEntryLivesInTheXdgAutostartFolder)
{
    EXPECT_EQ(autostartEntryPath(), entryPath());
    qunsetenv("XDG_CONFIG_HOME");
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(m_sandbox.path(u"home"_s)));
    EXPECT_EQ(autostartEntryPath(), m_sandbox.path(u"home/.config/autostart/kovrel.desktop"_s));
    qputenv("HOME", savedHome);
}

TEST_F(SettingsAutostartTest, WritingReadingAndDeletingTheValue)
{
    EXPECT_EQ(ReadAutostart(), QString());
    DeleteAutostart(); // nothing to delete: nothing happens
    EXPECT_FALSE(QDir(m_sandbox.configHome()).exists());

    WriteAutostart(u"/usr/bin/kovrel"_s);
    EXPECT_EQ(entry(), "[Desktop Entry]\nType=Application\nName=Kovrel Client\nExec=/usr/bin/kovrel\n");
    EXPECT_EQ(ReadAutostart(), u"/usr/bin/kovrel"_s);

    DeleteAutostart();
    EXPECT_FALSE(QFile::exists(entryPath()));
    EXPECT_EQ(ReadAutostart(), QString());

    WriteAutostart(u"/usr/bin/kovrel"_s);
    WriteAutostart(QString()); // an empty value is no autostart
    EXPECT_FALSE(QFile::exists(entryPath()));
}

TEST_F(SettingsAutostartTest, PathsAreQuotedAndEscapedForTheExecKey)
{
    struct Case
    {
        QString path;
        QByteArray exec;
    };
    const Case cases[] = {
        {u"/opt/Kovrel Чат/kovrel"_s, "Exec=\"/opt/Kovrel Чат/kovrel\"\n"},
        {u"/opt/a\"b$c`d\\e/kovrel"_s, "Exec=\"/opt/a\\\\\"b\\\\$c\\\\`d\\\\\\\\e/kovrel\"\n"},
        {u"/opt/100%/kovrel"_s, "Exec=/opt/100%%/kovrel\n"},
        {u"/opt/it's (new)/kovrel"_s, "Exec=\"/opt/it's (new)/kovrel\"\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        WriteAutostart(c.path);
        EXPECT_TRUE(entry().endsWith(c.exec)) << entry().toStdString();
        EXPECT_EQ(ReadAutostart(), c.path);
    }
}

TEST_F(SettingsAutostartTest, EntriesThatStartNothingCountAsOff)
{
    const std::pair<QByteArray, QString> cases[] = {
        {"[Desktop Entry]\nType=Application\nExec=\n", QString()},
        {"[Desktop Entry]\nType=Application\n", QString()},
        {"[Desktop Entry]\nExec=/usr/bin/kovrel\nHidden=true\n", QString()},
        {"[Other Group]\nExec=/usr/bin/other\n", QString()},
        {"# by hand\n[Desktop Entry]\nExec = /usr/bin/kovrel --minimized\n[Desktop Action X]\nExec=/bin/x\n",
         u"/usr/bin/kovrel"_s},
        {"[Desktop Entry]\nExec=\"/opt/my\\\\\\\\dir/kovrel\" %u\n", u"/opt/my\\dir/kovrel"_s},
    };
    for (const auto& [content, expected] : cases) {
        SCOPED_TRACE(content.toStdString());
        setEntry(content);
        EXPECT_EQ(ReadAutostart(), expected);
    }
}

TEST_F(SettingsAutostartTest, FailuresNameTheValueOrItsKey)
{
    QDir().mkpath(entryPath()); // a folder where the entry should be
    test::expectSettingsError([] { ReadAutostart(); }, "Failed to get data for 'Kovrel Client'");
    test::expectSettingsError([] { DeleteAutostart(); }, "Failed to delete value 'Kovrel Client'");

    QDir(m_sandbox.configHome()).removeRecursively();
    QDir().mkpath(m_sandbox.configHome());
    QFile blocker(m_sandbox.configHome() + u"/autostart"_s); // a file where the folder should be
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    test::expectSettingsError([] { WriteAutostart(u"/usr/bin/kovrel"_s); },
                              "Failed to create key Software\\Microsoft\\Windows\\CurrentVersion\\Run");
}

TEST_F(SettingsAutostartTest, TheEntryPassesArgumentsQuotedAndTheValueStaysTheProgram)
{
    WriteAutostart(u"/usr/bin/kovrel"_s, {u"--settings"_s, u"/media/my stick/100%.reg"_s});
    EXPECT_EQ(entry(), "[Desktop Entry]\nType=Application\nName=Kovrel Client\n"
                       "Exec=/usr/bin/kovrel --settings \"/media/my stick/100%%.reg\"\n");
    EXPECT_EQ(ReadAutostart(), u"/usr/bin/kovrel"_s);
}

TEST_F(SettingsAutostartTest, TheClientStartedAtLogInKeepsAChosenSettingsFile)
{
    EXPECT_EQ(AutostartArguments(), QStringList({u"--settings"_s, m_sandbox.settingsPath()}));
    qunsetenv("KOVREL_SETTINGS");
    EXPECT_EQ(AutostartArguments(), QStringList()) << "the default file needs no argument";
}

// A file at `relative` inside the sandbox, made executable as a program is.
QString makeProgram(const test::SettingsSandbox& sandbox, const QString& relative)
{
    const QString path = sandbox.path(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    return path;
}

TEST_F(SettingsAutostartTest, TheEntryStartsTheInstalledClientWhenThereIsOne)
{
    const QString built = makeProgram(m_sandbox, u"build/src/app/kovrel"_s);
    const QString installed = m_sandbox.path(u"usr/bin/kovrel"_s);
    EXPECT_EQ(AutostartProgram(built, installed), built) << "nothing installed: the running binary";

    makeProgram(m_sandbox, u"usr/bin/kovrel"_s);
    EXPECT_EQ(AutostartProgram(built, installed), installed);

    QFile::setPermissions(installed, QFileDevice::ReadOwner);
    EXPECT_EQ(AutostartProgram(built, installed), built) << "a file that cannot run is no program";
}

TEST_F(SettingsAutostartTest, AnInstalledCopyStartsItselfWhereverItsPrefixIs)
{
    const QString installed = makeProgram(m_sandbox, u"usr/bin/kovrel"_s);
    const QString moved = makeProgram(m_sandbox, u"stick/bin/kovrel"_s);
    makeProgram(m_sandbox, u"stick/share/applications/kovrel.desktop"_s);
    EXPECT_EQ(AutostartProgram(moved, installed), moved);
}

} // namespace
} // namespace kovrel

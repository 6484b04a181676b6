// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings_store.h"

#include <climits>
#include <tuple>
#include <utility>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "settings_sandbox.h"

namespace kovrel {
namespace {

using namespace Qt::Literals::StringLiterals;

class SettingsStoreTest : public ::testing::Test
{
protected:
    SettingsStoreTest() { m_store.OpenStore(u"Software\\Kovrel"_s); }

    test::SettingsSandbox m_sandbox;
    SettingsStore m_store;
};

TEST_F(SettingsStoreTest, OnlyMissingValuesReadAsDefaultsAndReadsCreateNothing)
{
    EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Host"_s, u"Имя хоста"_s), u"Имя хоста"_s);
    EXPECT_EQ(m_store.ReadNumber(u"Client"_s, u"Port"_s, 0), 0);
    EXPECT_TRUE(m_store.ReadFlag(u"Client"_s, u"FirstTime"_s, true));
    EXPECT_TRUE(m_store.ListValueNames(u"Client\\Macros"_s).isEmpty());
    m_store.DeleteValue(u"Client"_s, u"Host"_s);
    m_store.EraseSection(u"Client\\Macros"_s);
    EXPECT_FALSE(QDir(m_sandbox.path(u"kovrel"_s)).exists());

    m_store.WriteText(u"Client"_s, u"Host"_s, QString()); // an empty text is a value, not a missing one
    EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Host"_s, u"Имя хоста"_s), QString());
}

TEST_F(SettingsStoreTest, NumbersFollowTheStringToIntegerRules)
{
    const std::pair<QString, int> cases[] = {
        {u"16"_s, 16},
        {u"-1"_s, -1},
        {u"+7"_s, 7},
        {u"  42"_s, 42},
        {u"0x1F"_s, 31},
        {u"0X1f"_s, 31},
        {u"$1F"_s, 31},
        {u"-$10"_s, -16},
        {u"$FFFFFFFF"_s, -1},
        {u"2147483647"_s, INT_MAX},
        {u"-2147483648"_s, INT_MIN},
        {u"abc"_s, 99},
        {u""_s, 99},
        {u"0x"_s, 99},
        {u"-0x1F"_s, 99},
        {u"42 "_s, 99},
        {u"$"_s, 99},
        {u"1.5"_s, 99},
        {u"2147483648"_s, 99},
        {u"$100000000"_s, 99},
        {u"٣"_s, 99},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text.toStdString());
        m_store.WriteText(u"Client"_s, u"Port"_s, text);
        EXPECT_EQ(m_store.ReadNumber(u"Client"_s, u"Port"_s, 99), expected);
    }
    m_store.WriteNumber(u"Client"_s, u"Port"_s, -4040);
    EXPECT_EQ(m_sandbox.storedValue(u"Software\\Kovrel\\Client"_s, u"Port"_s)->data, u"-4040"_s);
}

TEST_F(SettingsStoreTest, FlagsAreNonZeroNumbers)
{
    const std::tuple<QString, bool, bool> cases[] = {
        {u"1"_s, false, true}, {u"2"_s, false, true}, {u"-1"_s, false, true}, {u"0"_s, true, false},
        {u""_s, true, true},   {u""_s, false, false}, {u"yes"_s, true, true}, {u"yes"_s, false, false},
    };
    for (const auto& [text, fallback, expected] : cases) {
        SCOPED_TRACE(text.toStdString());
        m_store.WriteText(u"Config"_s, u"ShowTime"_s, text);
        EXPECT_EQ(m_store.ReadFlag(u"Config"_s, u"ShowTime"_s, fallback), expected);
    }
    m_store.WriteFlag(u"Config"_s, u"ShowTime"_s, true);
    EXPECT_EQ(m_store.ReadText(u"Config"_s, u"ShowTime"_s, {}), u"1"_s);
    m_store.WriteFlag(u"Config"_s, u"ShowTime"_s, false);
    EXPECT_EQ(m_store.ReadText(u"Config"_s, u"ShowTime"_s, {}), u"0"_s);
}

TEST_F(SettingsStoreTest, ValuesOfOtherTypesRaiseAndSurviveRewrites)
{
    m_sandbox.setSettingsFileContent(
        "[HKEY_CURRENT_USER\\Software\\Kovrel\\Client]\n\"Port\"=dword:0000001f\n");
    test::expectSettingsError([&] { m_store.ReadText(u"Client"_s, u"Port"_s, {}); },
                              "Invalid data type for 'Port'");
    test::expectSettingsError([&] { m_store.ReadNumber(u"Client"_s, u"port"_s, 0); },
                              "Invalid data type for 'port'");
    test::expectSettingsError([&] { m_store.ReadFlag(u"Client"_s, u"Port"_s, true); },
                              "Invalid data type for 'Port'");

    m_store.WriteText(u"Client"_s, u"Host"_s, u"chat.example"_s);
    EXPECT_TRUE(m_sandbox.settingsFileContent().contains("\"Port\"=dword:0000001f\n"));
    m_store.WriteNumber(u"Client"_s, u"Port"_s, 4040);
    EXPECT_EQ(m_store.ReadNumber(u"Client"_s, u"Port"_s, 0), 4040);
}

TEST_F(SettingsStoreTest, SeveralTextsOfOneKeyAreWrittenTogether)
{
    m_store.WriteTexts(u"Client"_s, {});
    EXPECT_FALSE(m_sandbox.settingsFileExists());

    m_store.WriteText(u"Client"_s, u"Port"_s, u"1"_s);
    m_store.WriteTexts(u"Client"_s, {{u"Host"_s, u"h"_s}, {u"PORT"_s, u"4040"_s}, {u"Nick"_s, u"Вася"_s}});
    EXPECT_EQ(m_store.ListValueNames(u"Client"_s), (QStringList{u"Port"_s, u"Host"_s, u"Nick"_s}));
    EXPECT_EQ(m_store.ReadNumber(u"Client"_s, u"Port"_s, 0), 4040);
    EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Nick"_s, {}), u"Вася"_s);

    test::expectSettingsError(
        [&] {
            m_store.WriteTexts(u"Client\\two\nlines"_s, {{u"Host"_s, u"x"_s}});
        },
        "Failed to create key Software\\Kovrel\\Client\\two\nlines");
    QFile::remove(m_sandbox.settingsPath());
    QDir().mkpath(m_sandbox.settingsPath()); // a folder where the file should be
    test::expectSettingsError(
        [&] {
            m_store.WriteTexts(u"Client"_s, {{u"Host"_s, u"x"_s}, {u"Nick"_s, u"y"_s}});
        },
        "Failed to set data for 'Host'");
}

TEST_F(SettingsStoreTest, ALinkedFileStaysLinked)
{
    const QString target = m_sandbox.path(u"dotfiles/settings.reg"_s);
    QDir().mkpath(m_sandbox.path(u"dotfiles"_s));
    QDir().mkpath(m_sandbox.path(u"kovrel"_s));
    ASSERT_TRUE(QFile::link(target, m_sandbox.settingsPath()));
    m_store.WriteText(u"Client"_s, u"Host"_s, u"linked"_s);
    EXPECT_TRUE(QFileInfo(m_sandbox.settingsPath()).isSymLink());
    EXPECT_TRUE(QFile::exists(target));
    EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Host"_s, {}), u"linked"_s);
    m_store.WriteText(u"Client"_s, u"Host"_s, u"again"_s);
    EXPECT_TRUE(QFileInfo(m_sandbox.settingsPath()).isSymLink());
    EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Host"_s, {}), u"again"_s);
}

TEST_F(SettingsStoreTest, KeysAndNamesIgnoreLetterCase)
{
    m_store.WriteText(u"Client\\Font\\Общий"_s, u"Name"_s, u"Arial"_s);
    m_store.WriteText(u"CLIENT\\font\\ОБЩИЙ"_s, u"NAME"_s, u"Tahoma"_s);

    SettingsStore other;
    other.OpenStore(u"software\\KOVREL\\client\\FONT"_s);
    EXPECT_EQ(other.ReadText(u"общий"_s, u"name"_s, {}), u"Tahoma"_s);
    EXPECT_EQ(m_sandbox.settingsFileContent(),
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_CURRENT_USER\\Software\\Kovrel\\Client\\Font\\Общий]\n\"Name\"=\"Tahoma\"\n\n");
}

TEST_F(SettingsStoreTest, ListsEraseAndDeleteValues)
{
    m_store.WriteText(u"Client\\Macros"_s, u"Ctrl+B"_s, u"second"_s);
    m_store.WriteText(u"Client\\Macros"_s, QString(), u"unnamed"_s);
    m_store.WriteText(u"Client\\Macros"_s, u"F1"_s, u"first"_s);
    m_store.WriteText(u"Client\\Macros\\Nested"_s, u"x"_s, u"1"_s);
    m_store.WriteText(u"Client\\MacrosOld"_s, u"x"_s, u"1"_s);
    EXPECT_EQ(m_store.ListValueNames(u"client\\macros"_s), (QStringList{u"Ctrl+B"_s, QString(), u"F1"_s}));

    m_store.DeleteValue(u"Client\\Macros"_s, u"ctrl+b"_s);
    m_store.DeleteValue(u"Client\\Macros"_s, u"missing"_s);
    EXPECT_EQ(m_store.ListValueNames(u"Client\\Macros"_s), (QStringList{QString(), u"F1"_s}));

    m_store.EraseSection(u"Client\\Macros"_s);
    EXPECT_TRUE(m_store.ListValueNames(u"Client\\Macros"_s).isEmpty());
    EXPECT_TRUE(m_store.ListValueNames(u"Client\\Macros\\Nested"_s).isEmpty());
    EXPECT_EQ(m_store.ListValueNames(u"Client\\MacrosOld"_s), QStringList{u"x"_s});
}

TEST_F(SettingsStoreTest, ADamagedFileIsKeptAsideReportedAndReplacedByTheNextWrite)
{
    const QString badPath = m_sandbox.settingsPath() + u".bad"_s;
    const auto badContent = [&] {
        QFile bad(badPath);
        return bad.open(QIODevice::ReadOnly) ? bad.readAll() : QByteArray();
    };
    m_sandbox.setSettingsFileContent("[HKEY_CURRENT_USER\\Software\\Kovrel\\Client]\n\"Host\"=\"open\n");
    EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Host"_s, u"default"_s), u"default"_s);
    ASSERT_EQ(m_sandbox.problems().size(), 1);
    EXPECT_TRUE(m_sandbox.problems()[0].contains(u"line 2"_s)) << m_sandbox.problems()[0].toStdString();
    EXPECT_TRUE(m_sandbox.problems()[0].contains(badPath));
    EXPECT_FALSE(m_sandbox.settingsFileExists());
    EXPECT_TRUE(badContent().endsWith("\"Host\"=\"open\n"));

    // Found by a write: an older .bad gives way, and the write starts a fresh file.
    m_sandbox.setSettingsFileContent("not a registry export");
    m_store.WriteText(u"Client"_s, u"Nick"_s, u"Вася"_s);
    EXPECT_EQ(m_sandbox.problems().size(), 2);
    EXPECT_EQ(badContent(), "not a registry export");
    EXPECT_EQ(m_store.ListValueNames(u"Client"_s), QStringList{u"Nick"_s});
}

TEST_F(SettingsStoreTest, FailuresNameTheKeyOrTheValue)
{
    QDir().mkpath(m_sandbox.settingsPath()); // a folder where the file should be
    test::expectSettingsError([&] { m_store.ReadText(u"Client"_s, u"Host"_s, {}); },
                              "Failed to get data for 'Host'");
    test::expectSettingsError([&] { m_store.ListValueNames(u"Client"_s); },
                              "Failed to get data for 'Software\\Kovrel\\Client'");
    test::expectSettingsError([&] { m_store.WriteText(u"Client"_s, u"Host"_s, {}); },
                              "Failed to set data for 'Host'");
    test::expectSettingsError([&] { m_store.DeleteValue(u"Client"_s, u"Host"_s); },
                              "Failed to delete value 'Host'");
    test::expectSettingsError([&] { m_store.EraseSection(u"Client"_s); },
                              "Failed to delete key Software\\Kovrel\\Client");

    QFile blocker(m_sandbox.path(u"blocker"_s)); // a file where a folder should be
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    qputenv("KOVREL_SETTINGS", QFile::encodeName(m_sandbox.path(u"blocker/kovrel/settings.reg"_s)));
    test::expectSettingsError([&] { m_store.WriteNumber(u"Client"_s, u"Port"_s, 1); },
                              "Failed to create key Software\\Kovrel\\Client");
}

TEST_F(SettingsStoreTest, AKeyThatCannotBeWrittenIsRefused)
{
    m_store.WriteText(u"Client"_s, u"Host"_s, u"kept"_s);
    test::expectSettingsError([&] { m_store.WriteNumber(u"Client\\Float\\two\nlines"_s, u"Left"_s, 1); },
                              "Failed to create key Software\\Kovrel\\Client\\Float\\two\nlines");
    EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Host"_s, {}), u"kept"_s);
}

TEST_F(SettingsStoreTest, TheLocationIsReadAtEveryAccess)
{
    EXPECT_EQ(settingsFilePath(), m_sandbox.settingsPath());
    m_store.WriteText(u"Client"_s, u"Host"_s, u"first"_s);

    qunsetenv("KOVREL_SETTINGS");
    EXPECT_EQ(settingsFilePath(), m_sandbox.configHome() + u"/kovrel/settings.reg"_s);
    EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Host"_s, u"none"_s), u"none"_s);
    m_store.WriteText(u"Client"_s, u"Host"_s, u"second"_s);
    EXPECT_TRUE(QFile::exists(m_sandbox.configHome() + u"/kovrel/settings.reg"_s));

    qputenv("KOVREL_SETTINGS", QFile::encodeName(m_sandbox.settingsPath()));
    EXPECT_EQ(m_store.ReadText(u"Client"_s, u"Host"_s, {}), u"first"_s);
}

TEST_F(SettingsStoreTest, AChosenFileIsUsedByItsAbsolutePath)
{
    const QString savedFolder = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(m_sandbox.path({})));
    useSettingsFile(u"stick/portable.reg"_s);
    ASSERT_TRUE(QDir::setCurrent(savedFolder));

    const QString chosen = m_sandbox.path(u"stick/portable.reg"_s);
    EXPECT_EQ(settingsFilePath(), chosen);
    EXPECT_EQ(qEnvironmentVariable("KOVREL_SETTINGS"), chosen) << "programs started from here use it too";
    m_store.WriteText(u"Client"_s, u"Host"_s, u"portable"_s);
    EXPECT_TRUE(QFile::exists(chosen));
    EXPECT_FALSE(m_sandbox.settingsFileExists()) << "the default file stays untouched";
}

} // namespace
} // namespace kovrel

// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings_layout.h"

#include <stdexcept>
#include <utility>

#include <sys/inotify.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "settings_sandbox.h"
#include "settings_store.h"

namespace kovrel {
namespace {

using namespace Qt::Literals::StringLiterals;

class SettingsLayoutTest : public ::testing::Test
{
protected:
    QString stored(const QString& keyPath, const QString& name)
    {
        const SettingsValue* value = m_sandbox.storedValue(keyPath, name);
        return value ? value->data : u"<absent>"_s;
    }

    // Every reader of the layout gives its default.
    static void expectEveryDefault()
    {
        EXPECT_EQ(ReadHost(), u"Имя хоста"_s);
        EXPECT_EQ(ReadNick(), u"Ваш НИК"_s);
        EXPECT_EQ(ReadAnotherNick(), u"Запасной НИК"_s);
        EXPECT_EQ(ReadAddress(), QString());
        EXPECT_EQ(ReadPort(), 0);
        EXPECT_TRUE(ReadFirstTime());
        EXPECT_EQ(ReadMsgOnConnect(), QString());
        EXPECT_EQ(ReadMsgOnDisconnect(), QString());

        EXPECT_TRUE(ReadConfigFlag(ConfigFlag::ListButton));
        EXPECT_TRUE(ReadConfigFlag(ConfigFlag::ShowCaption));
        EXPECT_TRUE(ReadConfigFlag(ConfigFlag::FromUpToDown));
        for (const ConfigFlag off : {ConfigFlag::MsgEditor, ConfigFlag::StartOnRun, ConfigFlag::ShowTime,
                                     ConfigFlag::BeepOnPublic, ConfigFlag::BeepOnPrivate})
            EXPECT_FALSE(ReadConfigFlag(off));
        EXPECT_EQ(ReadToolsAlign(), 1);

        for (const MainFormValue value :
             {MainFormValue::Left, MainFormValue::Top, MainFormValue::Width, MainFormValue::Height,
              MainFormValue::SplitterLeft, MainFormValue::SplitterTop})
            EXPECT_EQ(ReadMainFormValue(value), kAbsent);
        EXPECT_FALSE(ReadMinimized());
        EXPECT_EQ(ReadBeepFormPosition(WindowEdge::Left), kAbsent);
        EXPECT_EQ(ReadBeepFormPosition(WindowEdge::Top), kAbsent);

        for (const InfoField field : kInfoFields)
            EXPECT_EQ(ReadInfoField(field), field == InfoField::HomePage ? u"http://"_s : u"N/A"_s);
        EXPECT_TRUE(ReadMacros().isEmpty());
        EXPECT_EQ(ReadFloatPosition(u"Вася", WindowEdge::Left), kAbsent);
        EXPECT_TRUE(ReadFloatClosed(u"Вася"));
        for (const QStringView row : kStatePictureRows)
            EXPECT_EQ(ReadStatePicture(row, StatePicture::Incoming), QString());

        EXPECT_EQ(ReadFontName(u"Общий", u"Tahoma"_s), u"Tahoma"_s);
        EXPECT_EQ(ReadFontNumber(u"Общий", FontNumber::BackgroundColor, 0x80000005), 0x80000005);
        EXPECT_FALSE(ReadFontStyle(u"Общий", FontStyle::Bold));
        EXPECT_FALSE(IsAutostartOn());
    }

    test::SettingsSandbox m_sandbox;
};

TEST_F(SettingsLayoutTest, AFirstStartReadsEveryDefaultAndCreatesNothing)
{
    expectEveryDefault();
    EXPECT_TRUE(m_sandbox.problems().isEmpty());
    EXPECT_FALSE(QDir(m_sandbox.path(u"kovrel"_s)).exists());
}

// Groups whose key path is built from several parts, or whose value names are not plain words.
TEST_F(SettingsLayoutTest, SettingsLiveUnderTheirKeysAndNames)
{
    const QString client = u"Software\\Kovrel\\Client"_s;
    WriteMainFormValue(MainFormValue::SplitterTop, 29);
    EXPECT_EQ(stored(client + u"\\MainForm"_s, u"Splitter.Top"_s), u"29"_s);
    WriteFloatPosition(u"Вася", WindowEdge::Left, -7);
    EXPECT_EQ(stored(client + u"\\Float\\Вася"_s, u"Left"_s), u"-7"_s);
    WriteStatePicture(u"Away", StatePicture::Incoming, u"/p/away.ico"_s);
    EXPECT_EQ(stored(client + u"\\States\\Away"_s, u"Входящая картинка"_s), u"/p/away.ico"_s);
    WriteFontNumber(u"Ввод сообщений", FontNumber::BackgroundColor, -2147483643);
    EXPECT_EQ(stored(client + u"\\Font\\Ввод сообщений"_s, u"Background Color"_s), u"-2147483643"_s);
    WriteFontStyle(u"OutputAttr", FontStyle::Strikeout, true);
    EXPECT_EQ(stored(client + u"\\Font\\OutputAttr\\Style"_s, u"Strikeout"_s), u"1"_s);
    EXPECT_TRUE(ReadFontStyle(u"outputattr", FontStyle::Strikeout));
    EXPECT_EQ(ReadFontNumber(u"Ввод сообщений", FontNumber::Height, -11), -11);
}

TEST_F(SettingsLayoutTest, TheConnectDialogStoresInItsOrder)
{
    EXPECT_FALSE(ReadUseTls()); // a settings file from before encryption connects as it did
    WriteConnectDialogValues(
        {u"h"_s, u"Вася"_s, u"Петя"_s, u"10.0.0.1"_s, u"4041"_s, u"Привет"_s, u"Пока"_s, true});
    EXPECT_EQ(ReadPort(), 4041);
    EXPECT_TRUE(ReadUseTls());
    EXPECT_FALSE(ReadFirstTime());
    EXPECT_EQ(stored(u"Software\\Kovrel\\Client"_s, u"FirstTime"_s), u"0"_s);
    EXPECT_EQ(stored(u"Software\\Kovrel\\Client"_s, u"UseTLS"_s), u"1"_s);
    SettingsStore store;
    store.OpenStore(u"Software\\Kovrel"_s);
    EXPECT_EQ(store.ListValueNames(u"Client"_s),
              (QStringList{u"Host"_s, u"Nick"_s, u"AnotherNick"_s, u"Address"_s, u"Port"_s, u"FirstTime"_s,
                           u"MsgOnConnect"_s, u"MsgOnDisconnect"_s, u"UseTLS"_s, u"UsePassword"_s}));

    // Trusted certificates are kept per server, host and port together.
    WriteTrustedFingerprint(u"chat.example:4041", u"AB:CD"_s);
    EXPECT_EQ(ReadTrustedFingerprint(u"chat.example:4041"), u"AB:CD"_s);
    EXPECT_EQ(ReadTrustedFingerprint(u"chat.example:4042"), QString());
    EXPECT_EQ(stored(u"Software\\Kovrel\\Client\\TrustedServers"_s, u"chat.example:4041"_s), u"AB:CD"_s);
}

TEST_F(SettingsLayoutTest, ABadPortInTheConnectDialogWritesNothing)
{
    for (const QString& badPort : {u"40x"_s, u"70000"_s, u"65536"_s, u"-1"_s, u"+80"_s, u"0x50"_s, u"$50"_s,
                                   u""_s, u"  "_s, u"40 40"_s, u"٣"_s, u"99999999999"_s}) {
        SCOPED_TRACE(badPort.toStdString());
        EXPECT_THROW(WriteConnectDialogValues(
                         {u"h"_s, u"Вася"_s, u"Петя"_s, u"..."_s, badPort, u"Привет"_s, u"Пока"_s}),
                     std::invalid_argument);
        EXPECT_FALSE(m_sandbox.settingsFileExists());
    }

    WriteConnectDialogValues(
        {u"h"_s, u"Вася"_s, u"Петя"_s, u"10.0.0.1"_s, u"4040"_s, u"Привет"_s, u"Пока"_s});
    const QByteArray before = m_sandbox.settingsFileContent();
    try {
        WriteConnectDialogValues({u"x"_s, u"y"_s, u"z"_s, u"..."_s, u"70000"_s, u"a"_s, u"b"_s});
        ADD_FAILURE() << "a port of 70000 was accepted";
    } catch (const std::invalid_argument& error) {
        EXPECT_STREQ(error.what(), "'70000' is not a port number (0 to 65535)");
    }
    EXPECT_EQ(m_sandbox.settingsFileContent(), before);
}

TEST_F(SettingsLayoutTest, TheConnectDialogsPortMayHaveBlanksAroundIt)
{
    for (const auto& [text, port] :
         {std::pair{u" 4040 "_s, 4040}, {u"\t0\t"_s, 0}, {u"65535"_s, 65535}, {u"00080"_s, 80}}) {
        SCOPED_TRACE(text.toStdString());
        WriteConnectDialogValues({u"h"_s, u"n"_s, u"a"_s, QString(), text, QString(), QString()});
        EXPECT_EQ(stored(u"Software\\Kovrel\\Client"_s, u"Port"_s), QString::number(port));
        EXPECT_EQ(ReadPort(), port);
    }
    EXPECT_TRUE(m_sandbox.problems().isEmpty());
}

// The eight values go into the file together: one replacement of the file, seen by inotify as one rename
// onto it, never a state with some of them written.
TEST_F(SettingsLayoutTest, TheConnectDialogIsStoredInOneUpdate)
{
    WriteHost(u"old host"_s); // creates the folder to watch
    const int inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(inotify, 0);
    ASSERT_GE(::inotify_add_watch(inotify, QFile::encodeName(m_sandbox.path(u"kovrel"_s)).constData(),
                                  IN_MOVED_TO | IN_CLOSE_WRITE),
              0);

    WriteConnectDialogValues(
        {u"h"_s, u"Вася"_s, u"Петя"_s, u"10.0.0.1"_s, u"4040"_s, u"Привет"_s, u"Пока"_s});

    int renamesOntoTheFile = 0;
    int filesWritten = 0;
    alignas(inotify_event) char buffer[64 * 1024];
    for (ssize_t size; (size = ::read(inotify, buffer, sizeof buffer)) > 0;) {
        for (ssize_t offset = 0; offset < size;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            if ((event->mask & IN_MOVED_TO) && event->len > 0 && QByteArray(event->name) == "settings.reg")
                ++renamesOntoTheFile;
            if ((event->mask & IN_CLOSE_WRITE) && event->len > 0 &&
                QByteArray(event->name) != "settings.reg.lock")
                ++filesWritten;
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    ::close(inotify);
    EXPECT_EQ(renamesOntoTheFile, 1);
    EXPECT_EQ(filesWritten, 1);
    EXPECT_EQ(ReadHost(), u"h"_s);
    EXPECT_EQ(ReadMsgOnDisconnect(), u"Пока"_s);
}

// A reader never raises: what it cannot read is reported, once while the file stays as it is, and the
// default stands in.
TEST_F(SettingsLayoutTest, AValueOfAnotherTypeReadsAsTheDefaultAndIsReportedOnce)
{
    m_sandbox.setSettingsFileContent("[HKEY_CURRENT_USER\\Software\\Kovrel\\Client\\Config]\n"
                                     "\"ShowTime\"=dword:00000001\n\"FromUpToDown\"=dword:00000000\n");
    for (int line = 0; line < 1000; ++line) {
        EXPECT_FALSE(ReadConfigFlag(ConfigFlag::ShowTime));
        EXPECT_TRUE(ReadConfigFlag(ConfigFlag::FromUpToDown));
    }
    EXPECT_EQ(m_sandbox.problems(), (QStringList{u"Invalid data type for 'ShowTime'"_s,
                                                 u"Invalid data type for 'FromUpToDown'"_s}));

    // A changed file may hold the same problem again: it is reported again, once.
    WriteConfigFlag(ConfigFlag::FromUpToDown, false);
    EXPECT_FALSE(ReadConfigFlag(ConfigFlag::ShowTime));
    EXPECT_FALSE(ReadConfigFlag(ConfigFlag::ShowTime));
    EXPECT_FALSE(ReadConfigFlag(ConfigFlag::FromUpToDown));
    EXPECT_EQ(m_sandbox.problems().size(), 3);
    EXPECT_EQ(m_sandbox.problems().last(), u"Invalid data type for 'ShowTime'"_s);

    // The store's own readers still raise; the toggle replaces the bad value.
    SettingsStore store;
    store.OpenStore(u"Software\\Kovrel\\Client"_s);
    test::expectSettingsError([&] { store.ReadFlag(u"Config"_s, u"ShowTime"_s, false); },
                              "Invalid data type for 'ShowTime'");
    EXPECT_TRUE(ToggleConfigFlag(ConfigFlag::ShowTime));
    EXPECT_EQ(stored(u"Software\\Kovrel\\Client\\Config"_s, u"ShowTime"_s), u"1"_s);
}

TEST_F(SettingsLayoutTest, APortOutsideItsRangeReadsAsZeroAndIsReportedOnce)
{
    WritePort(65535);
    EXPECT_EQ(ReadPort(), 65535);
    for (const auto& [text, problem] :
         {std::pair{u"70000"_s, "Invalid value for 'Port': 70000 is not a port number (0 to 65535)"},
          {u"-1"_s, "Invalid value for 'Port': -1 is not a port number (0 to 65535)"},
          {u"$FFFFFFFF"_s, "Invalid value for 'Port': -1 is not a port number (0 to 65535)"},
          {u"65536"_s, "Invalid value for 'Port': 65536 is not a port number (0 to 65535)"}}) {
        SCOPED_TRACE(text.toStdString());
        const qsizetype reported = m_sandbox.problems().size();
        SettingsStore store;
        store.OpenStore(u"Software\\Kovrel"_s);
        store.WriteText(u"Client"_s, u"Port"_s, text);
        EXPECT_EQ(ReadPort(), 0);
        EXPECT_EQ(ReadPort(), 0);
        ASSERT_EQ(m_sandbox.problems().size(), reported + 1);
        EXPECT_EQ(m_sandbox.problems().last(), QString::fromUtf8(problem));
    }
}

TEST_F(SettingsLayoutTest, AFileThatCannotBeReadGivesEveryDefault)
{
    QDir().mkpath(m_sandbox.settingsPath()); // a folder where the file should be
    QDir().mkpath(autostartEntryPath());
    for (int round = 0; round < 2; ++round)
        expectEveryDefault();
    QStringList problems = m_sandbox.problems();
    EXPECT_EQ(problems.removeDuplicates(), 0) << problems.join(u'\n').toStdString();
    for (const QString& problem :
         {u"Failed to get data for 'Host'"_s, u"Failed to get data for 'ShowTime'"_s,
          u"Failed to get data for 'Software\\Kovrel\\Client\\Macros'"_s, u"Failed to get data for 'Bold'"_s,
          u"Failed to get data for 'Kovrel Client'"_s})
        EXPECT_TRUE(problems.contains(problem)) << problem.toStdString();
}

TEST_F(SettingsLayoutTest, AMacroThatIsNotTextIsLeftOut)
{
    m_sandbox.setSettingsFileContent("[HKEY_CURRENT_USER\\Software\\Kovrel\\Client\\Macros]\n"
                                     "\"F1\"=\"one\"\n\"F2\"=hex:41,42\n\"F3\"=\"three\"\n");
    EXPECT_EQ(ReadMacros(), (QList<Macro>{{u"F1"_s, u"one"_s}, {u"F3"_s, u"three"_s}}));
    EXPECT_EQ(ReadMacros().size(), 2);
    EXPECT_EQ(m_sandbox.problems(), QStringList{u"Invalid data type for 'F2'"_s});
}

TEST_F(SettingsLayoutTest, MacrosReplaceTheWholeKey)
{
    WriteMacros({{u"F1"_s, u"Привет всем"_s}, {u"Ctrl+A"_s, u"a=b"_s}, {u"None"_s, u"только из списка"_s}});
    WriteMacros({{u"Ctrl+A"_s, u"a=b"_s}, {u"Shift+Ctrl+F5"_s, u"x"_s}});
    EXPECT_EQ(ReadMacros(), (QList<Macro>{{u"Ctrl+A"_s, u"a=b"_s}, {u"Shift+Ctrl+F5"_s, u"x"_s}}));

    SettingsStore store;
    store.OpenStore(u"Software\\Kovrel\\Client"_s);
    store.WriteText(u"Macros"_s, QString(), u"the unnamed value"_s);
    EXPECT_EQ(ReadMacros().size(), 2);
}

TEST_F(SettingsLayoutTest, TogglesStoreTheInverseAndReadItBack)
{
    EXPECT_TRUE(ToggleConfigFlag(ConfigFlag::ShowTime));
    EXPECT_EQ(stored(u"Software\\Kovrel\\Client\\Config"_s, u"ShowTime"_s), u"1"_s);
    EXPECT_FALSE(ToggleConfigFlag(ConfigFlag::ShowTime));
    EXPECT_FALSE(ToggleConfigFlag(ConfigFlag::ListButton)); // absent reads as its default, true

    EXPECT_TRUE(ToggleAutostart(u"/usr/bin/kovrel"_s));
    EXPECT_EQ(ReadAutostart(), u"/usr/bin/kovrel"_s);
    EXPECT_FALSE(ToggleAutostart(u"/usr/bin/kovrel"_s));
    EXPECT_FALSE(QFile::exists(autostartEntryPath()));
}

} // namespace
} // namespace kovrel

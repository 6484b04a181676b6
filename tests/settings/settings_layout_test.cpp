#include "settings_layout.h"

#include <stdexcept>

#include <gtest/gtest.h>

#include <QDir>

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

    test::SettingsSandbox m_sandbox;
};

TEST_F(SettingsLayoutTest, AFirstStartReadsEveryDefaultAndCreatesNothing)
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
    WriteConnectDialogValues(
        {u"h"_s, u"Вася"_s, u"Петя"_s, u"10.0.0.1"_s, u"4040"_s, u"Привет"_s, u"Пока"_s});
    EXPECT_EQ(ReadPort(), 4040);
    EXPECT_FALSE(ReadFirstTime());
    SettingsStore store;
    store.OpenStore(u"Software\\Kovrel"_s);
    EXPECT_EQ(store.ListValueNames(u"Client"_s),
              (QStringList{u"Host"_s, u"Nick"_s, u"AnotherNick"_s, u"Address"_s, u"Port"_s, u"FirstTime"_s,
                           u"MsgOnConnect"_s, u"MsgOnDisconnect"_s}));
}

TEST_F(SettingsLayoutTest, APortThatIsNotANumberStopsTheConnectDialogsWrites)
{
    EXPECT_THROW(
        WriteConnectDialogValues({u"h"_s, u"Вася"_s, u"Петя"_s, u"..."_s, u"40x"_s, u"Привет"_s, u"Пока"_s}),
        std::invalid_argument);
    EXPECT_EQ(ReadHost(), u"h"_s);
    EXPECT_EQ(ReadNick(), u"Вася"_s);
    EXPECT_EQ(ReadAnotherNick(), u"Петя"_s);
    EXPECT_EQ(ReadAddress(), u"..."_s);
    EXPECT_EQ(stored(u"Software\\Kovrel\\Client"_s, u"Port"_s), u"<absent>"_s);
    EXPECT_TRUE(ReadFirstTime());
    EXPECT_EQ(ReadMsgOnConnect(), QString());
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

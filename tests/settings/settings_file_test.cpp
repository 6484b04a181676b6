// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings_file.h"

#include <gtest/gtest.h>

#include <QString>

namespace kovrel {
namespace {

using namespace Qt::Literals::StringLiterals;

const QString kClient = u"HKEY_CURRENT_USER\\Software\\Kovrel\\Client"_s;

QString valueData(const SettingsTree& tree, const QString& key, const QString& name)
{
    const SettingsKey* found = tree.findKey(key);
    const SettingsValue* value = found ? found->findValue(name) : nullptr;
    return value ? value->data : u"<missing>"_s;
}

TEST(SettingsFileTest, WritesTheRegistryExportLayout)
{
    SettingsTree tree;
    tree.ensureKey(kClient).setValue({u"Host"_s, u"chat.example"_s, true});
    tree.ensureKey(kClient).setValue({u"Port"_s, u"4040"_s, true});
    tree.ensureKey(kClient + u"\\Font\\Общий\\Style"_s).setValue({u"Bold"_s, u"1"_s, true});
    tree.ensureKey(kClient + u"\\Macros"_s).setValue({QString(), u"unnamed"_s, true});

    EXPECT_EQ(
        serializeSettings(tree).toStdString(),
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_CURRENT_USER\\Software\\Kovrel\\Client]\n\"Host\"=\"chat.example\"\n\"Port\"=\"4040\"\n\n"
        "[HKEY_CURRENT_USER\\Software\\Kovrel\\Client\\Font\\Общий\\Style]\n\"Bold\"=\"1\"\n\n"
        "[HKEY_CURRENT_USER\\Software\\Kovrel\\Client\\Macros]\n@=\"unnamed\"\n\n");
}

TEST(SettingsFileTest, EscapesRoundTripAndKeepEveryValueOnOneLine)
{
    const QString tricky = u"C:\\path \"quoted\"\r\nline two\\n not a newline; = [x] Привет"_s;
    SettingsTree tree;
    tree.ensureKey(kClient).setValue({u"Name \"with\" \\ quotes"_s, tricky, true});

    const QByteArray text = serializeSettings(tree);
    EXPECT_TRUE(
        text.contains(R"("Name \"with\" \\ quotes"="C:\\path \"quoted\"\r\nline two\\n not a newline; )"));
    EXPECT_EQ(text.count('\n'), 5); // header, blank, key, value, blank
    EXPECT_EQ(valueData(parseSettings(text), kClient, u"Name \"with\" \\ quotes"_s), tricky);
}

TEST(SettingsFileTest, ReadsWhatARegistryEditorWrites)
{
    const QByteArray exported = "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
                                "; saved by hand\r\n"
                                "[HKEY_CURRENT_USER\\Software\\Kovrel\\Client]\r\n"
                                "@=\"default\"\r\n"
                                "\"Port\"=dword:0000001f\r\n"
                                "\"Path\"=hex(2):25,00,55,00,53,00,45,00,52,00,\\\r\n"
                                "  25,00,00,00\r\n"
                                "  \"Host\"=\"chat.example\"  \r\n";
    const SettingsTree tree = parseSettings(exported);
    const SettingsKey* client = tree.findKey(kClient);
    ASSERT_NE(client, nullptr);
    ASSERT_EQ(client->values.size(), 4);
    EXPECT_EQ(client->values[0], (SettingsValue{QString(), u"default"_s, true}));
    EXPECT_EQ(client->values[1], (SettingsValue{u"Port"_s, u"dword:0000001f"_s, false}));
    EXPECT_EQ(client->values[2].data, u"hex(2):25,00,55,00,53,00,45,00,52,00,\\\n  25,00,00,00"_s);
    EXPECT_EQ(valueData(tree, kClient, u"Host"_s), u"chat.example"_s);

    // Values of other types come back unchanged, continuation lines included.
    const QByteArray rewritten = serializeSettings(tree);
    EXPECT_TRUE(rewritten.contains("\"Port\"=dword:0000001f\n"));
    EXPECT_TRUE(rewritten.contains("\"Path\"=hex(2):25,00,55,00,53,00,45,00,52,00,\\\n  25,00,00,00\n"));
    EXPECT_EQ(serializeSettings(parseSettings(rewritten)), rewritten);
}

// Found by the settings fuzzer: a typed value kept the CR left of a doubled CR LF, and each rewrite lost one.
TEST(SettingsFileTest, DoubledCarriageReturnsEndTheLineSoThatRewritingKeepsATypedValue)
{
    const SettingsTree tree = parseSettings("[s]\n\"\"=C:\\\ne\r\r");
    const SettingsValue* value = tree.findKey(u"s"_s)->findValue(QString());
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->data, u"C:\\\ne"_s);
    EXPECT_FALSE(value->isText);
    const QByteArray written = serializeSettings(tree);
    EXPECT_EQ(serializeSettings(parseSettings(written)), written);
}

TEST(SettingsFileTest, EmptyInputIsAnEmptyTreeAndRepeatedKeysMerge)
{
    EXPECT_TRUE(parseSettings("\xEF\xBB\xBF\n  \n").keys().isEmpty());
    const SettingsTree tree = parseSettings("[A]\n\"x\"=\"1\"\n[B]\n[a]\n\"X\"=\"2\"\n");
    ASSERT_EQ(tree.keys().size(), 2);
    EXPECT_EQ(tree.keys()[0].values, (QList<SettingsValue>{{u"x"_s, u"2"_s, true}}));
}

TEST(SettingsFileTest, KeysAndNamesIgnoreLetterCaseAndKeepTheirFirstSpelling)
{
    SettingsTree tree;
    tree.ensureKey(kClient + u"\\Font\\Общий"_s).setValue({u"Name"_s, u"Arial"_s, true});

    SettingsKey& same = tree.ensureKey(u"hkey_current_user\\SOFTWARE\\kovrel\\CLIENT\\font\\ОБЩИЙ"_s);
    EXPECT_FALSE(same.setValue({u"NAME"_s, u"Arial"_s, true}));
    EXPECT_TRUE(same.setValue({u"nAmE"_s, u"Tahoma"_s, true}));
    EXPECT_EQ(tree.keys().size(), 1);
    EXPECT_EQ(same.values, (QList<SettingsValue>{{u"Name"_s, u"Tahoma"_s, true}}));

    // A new key below takes the spelling of the keys it is nested in.
    tree.ensureKey(u"HKEY_CURRENT_USER\\software\\KOVREL\\client\\FONT\\общий\\Style"_s);
    EXPECT_EQ(tree.keys().last().path, kClient + u"\\Font\\Общий\\Style"_s);
}

TEST(SettingsFileTest, NamesTheFirstLineThatCannotBeRead)
{
    struct Case
    {
        const char* text;
        int line;
    };
    const Case cases[] = {
        {"\"x\"=\"1\"\n", 1},                               // a value before any key
        {"[A]\n\"x\"=\"open\n", 2},                         // no closing quote
        {"[A]\n\"x\"=\"tab\\there\"\n", 2},                 // unknown escape
        {"[A]\n\"x\"=\"1\" trailing\n", 2},                 // text after the value
        {"[A]\n\"x\"\"1\"\n", 2},                           // no "="
        {"[A]\n\"x\"=-\n", 2},                              // value removal
        {"[A]\n\"x\"=1\n", 2},                              // neither text nor a typed value
        {"[A]\n\n[-A\\B]\n", 3},                            // key removal
        {"[A\n", 1},                                        // no closing bracket
        {"[]\n", 1},                                        // empty path
        {"[A]\nplain words\n", 2},                          // neither key nor value
        {"[A]\n\"x\"=\"\xC3\"\n", 2},                       // broken UTF-8
        {"[A]\n\"x\"=hex:00,\\\n", 2},                      // continues past the end
        {"[A]\nWindows Registry Editor Version 5.00\n", 2}, // header not at the top
        {"Windows Registry Editor Version 5.00\r\n\r\n[A]\r\n\"x\"=\"1\r\n", 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            parseSettings(QByteArrayView(c.text));
            ADD_FAILURE() << "parsed without error";
        } catch (const SettingsParseError& error) {
            EXPECT_EQ(error.line(), c.line) << error.what();
        }
    }
}

} // namespace
} // namespace kovrel

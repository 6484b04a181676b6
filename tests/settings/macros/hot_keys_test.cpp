// SPDX-License-Identifier: GPL-3.0-or-later
#include "hot_keys.h"

#include <gtest/gtest.h>

#include "qt_printers.h"

namespace kovrel {
namespace {

using namespace Qt::Literals::StringLiterals;

constexpr Qt::KeyboardModifiers kShiftCtrl = Qt::ShiftModifier | Qt::ControlModifier;

// Read off the keys themselves, so that the list and the presses cannot drift apart.
TEST(HotKeysTest, EveryHotKeyAfterNoneIsThePressOfItsKeyInTheListsOrder)
{
    QStringList pressed{u"None"_s};
    for (int key = Qt::Key_A; key <= Qt::Key_Z; ++key)
        pressed.append(KeyText(key, Qt::ControlModifier));
    for (Qt::KeyboardModifiers modifiers :
         {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ControlModifier),
          Qt::KeyboardModifiers(Qt::ShiftModifier), kShiftCtrl}) {
        for (int key = Qt::Key_F1; key <= Qt::Key_F12; ++key)
            pressed.append(KeyText(key, modifiers));
    }
    EXPECT_EQ(HotKeyTexts(), pressed);
    EXPECT_EQ(HotKeyTexts().size(), 75);
    EXPECT_EQ(HotKeyTexts().mid(26, 3), QStringList({"Ctrl+Z", "F1", "F2"}));
    EXPECT_EQ(HotKeyTexts().last(), u"Shift+Ctrl+F12"_s);
}

TEST(HotKeysTest, OtherPressesAreNoHotKeys)
{
    EXPECT_EQ(KeyText(Qt::Key_F5, Qt::AltModifier | kShiftCtrl), u"Shift+Ctrl+Alt+F5"_s);
    const struct
    {
        int key;
        Qt::KeyboardModifiers modifiers;
    } presses[] = {
        {Qt::Key_A, Qt::NoModifier},
        {Qt::Key_A, kShiftCtrl},
        {Qt::Key_A, Qt::ControlModifier | Qt::AltModifier},
        {Qt::Key_F5, Qt::AltModifier},
        {Qt::Key_Return, Qt::ControlModifier},
        {Qt::Key_1, Qt::ControlModifier},
        {Qt::Key_F13, Qt::NoModifier},
        {0x424, Qt::ControlModifier}, // the key of the letter Ф
        {0, Qt::NoModifier},
    };
    for (const auto& [key, modifiers] : presses)
        EXPECT_FALSE(IsHotKey(KeyText(key, modifiers))) << KeyText(key, modifiers).toStdString();
}

TEST(HotKeysTest, AMacroIsFoundByTheExactHotKeyPressedOnly)
{
    const QList<Macro> macros{{u"None"_s, u"без клавиши"_s}, {u"Shift+Ctrl+F5"_s, u"пять"_s},
                              {u"ctrl+b"_s, u"b"_s},         {u"Alt+F5"_s, u"alt"_s},
                              {u"A"_s, u"буква"_s},          {u"Shift+Ctrl+A"_s, u"sca"_s}};
    EXPECT_EQ(FindMacro(macros, Qt::Key_F5, kShiftCtrl), u"пять"_s);
    EXPECT_EQ(FindMacro(macros, Qt::Key_F6, Qt::NoModifier), u""_s);
    EXPECT_EQ(FindMacro(macros, Qt::Key_B, Qt::ControlModifier), u""_s) << "case matters";
    // Stored under what a press gives but no hot key: a hand-edited store cannot bring these to life.
    EXPECT_EQ(FindMacro(macros, Qt::Key_F5, Qt::AltModifier), u""_s);
    EXPECT_EQ(FindMacro(macros, Qt::Key_A, Qt::NoModifier), u""_s);
    EXPECT_EQ(FindMacro(macros, Qt::Key_A, kShiftCtrl), u""_s);
}

} // namespace
} // namespace kovrel

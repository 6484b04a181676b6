// SPDX-License-Identifier: GPL-3.0-or-later
#include "macros_dlg.h"

#include <functional>

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "macros_test_support.h"

namespace kovrel {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::onNextModal;
using test::typeText;

class MacrosDlgTest : public ::testing::Test
{
protected:
    QLineEdit* edit() { return m_dialog.findChild<QLineEdit*>(u"Edit1"_s); }
    QComboBox* hotKeys() { return m_dialog.findChild<QComboBox*>(u"ComboBox1"_s); }
    QPushButton* okButton() { return m_dialog.findChild<QPushButton*>(u"Button1"_s); }
    QPushButton* cancelButton() { return m_dialog.findChild<QPushButton*>(u"Button2"_s); }

    // ExecuteMacroEntry with `actions` run inside its modal loop.
    bool execute(const std::function<void()>& actions)
    {
        onNextModal([&actions](QDialog&) { actions(); });
        return m_dialog.ExecuteMacroEntry();
    }

    TMacrosDlg m_dialog;
};

TEST_F(MacrosDlgTest, OkIsEnabledForAMessageThatIsNotBlankWithAHotKeyPicked)
{
    m_dialog.presetMacro({u"F2"_s, u"старый"_s});
    m_dialog.setNewMacroMode(true);
    EXPECT_TRUE(execute([&] {
        EXPECT_EQ(m_dialog.enteredMacro(), (Macro{u"None"_s, u""_s}));
        EXPECT_FALSE(okButton()->isEnabled());
        typeText(edit(), u"   "_s);
        EXPECT_FALSE(okButton()->isEnabled()) << "blanks only";
        typeText(edit(), u"я"_s);
        EXPECT_TRUE(okButton()->isEnabled());
        QTest::mouseClick(okButton(), Qt::LeftButton);
    }));
    EXPECT_EQ(m_dialog.enteredMacro(), (Macro{u"None"_s, u"   я"_s}));

    m_dialog.presetMacro({u"Alt+X"_s, u"текст"_s}); // not a hot key: nothing is picked
    EXPECT_FALSE(execute([&] {
        EXPECT_EQ(m_dialog.enteredMacro(), (Macro{u""_s, u"текст"_s}));
        EXPECT_FALSE(okButton()->isEnabled());
        QTest::keyClick(hotKeys(), Qt::Key_F7);
        EXPECT_TRUE(okButton()->isEnabled());
        QTest::mouseClick(cancelButton(), Qt::LeftButton);
    }));
}

// The keys picked here would otherwise undo, select all or type in the message field.
TEST_F(MacrosDlgTest, AHotKeyPressedWhileTypingPicksItAndDoesNotReachTheField)
{
    m_dialog.setNewMacroMode(true);
    execute([&] {
        typeText(edit(), u"abc"_s);
        QTest::keyClick(edit(), Qt::Key_F3, Qt::ControlModifier);
        EXPECT_EQ(hotKeys()->currentText(), u"Ctrl+F3"_s);
        QTest::keyClick(edit(), Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(hotKeys()->currentText(), u"Ctrl+Z"_s);
        // Ctrl+Ф under a Cyrillic layout: the A key's code with the Cyrillic letter as its text.
        QTest::sendKeyEvent(QTest::Click, edit(), Qt::Key_A, u"ф"_s, Qt::ControlModifier);
        EXPECT_EQ(hotKeys()->currentText(), u"Ctrl+A"_s);
        EXPECT_EQ(edit()->text(), u"abc"_s);
        EXPECT_EQ(edit()->selectedText(), u""_s);

        QTest::keyClick(edit(), Qt::Key_A, Qt::ShiftModifier | Qt::ControlModifier);
        QTest::keyClick(edit(), Qt::Key_F5, Qt::AltModifier);
        typeText(edit(), u"d"_s);
        EXPECT_EQ(hotKeys()->currentText(), u"Ctrl+A"_s) << "no hot keys";
        EXPECT_EQ(edit()->text(), u"abcd"_s);

        QTest::keyClick(hotKeys(), Qt::Key_F5, Qt::ShiftModifier);
        EXPECT_EQ(hotKeys()->currentText(), u"Shift+F5"_s);
    });
}

TEST_F(MacrosDlgTest, TheLabelOfTheFocusedFieldIsBoldAndMovesNothing)
{
    execute([&] {
        const auto boldLabels = [&] {
            QStringList texts;
            for (const QLabel* label : m_dialog.findChildren<QLabel*>()) {
                if (label->font().bold())
                    texts.append(label->text());
            }
            return texts;
        };
        const auto fieldPlaces = [&] {
            m_dialog.layout()->activate();
            return QList<QRect>{edit()->geometry(), hotKeys()->geometry()};
        };
        EXPECT_EQ(boldLabels(), QStringList(u"Сообщение"_s));
        const QList<QRect> places = fieldPlaces();
        QTest::keyClick(edit(), Qt::Key_Tab);
        EXPECT_EQ(boldLabels(), QStringList(u"Клавиша"_s));
        EXPECT_EQ(fieldPlaces(), places);
        QTest::keyClick(hotKeys(), Qt::Key_Tab);
        EXPECT_EQ(boldLabels(), QStringList());
        EXPECT_EQ(fieldPlaces(), places);
    });
}

} // namespace
} // namespace kovrel

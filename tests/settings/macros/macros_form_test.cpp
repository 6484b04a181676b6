// SPDX-License-Identifier: GPL-3.0-or-later
#include "macros_form.h"

#include <functional>
#include <memory>
#include <optional>

#include <gtest/gtest.h>

#include <QKeyCombination>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "macros_dlg.h"
#include "macros_test_support.h"
#include "message_box_answerer.h"
#include "settings_sandbox.h"

namespace kovrel {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::onNextModal;
using test::typeText;

const QString kChoose = u"Button1"_s;
const QString kAdd = u"Button2"_s;
const QString kEdit = u"Button3"_s;
const QString kDelete = u"Button4"_s;
const QString kClose = u"Button5"_s;
const QString kDeleteQuestion = u"Kovrel: Вы уверены в том, что хотите удалить данный макрос?"_s;

QString takenMessage(const QString& hotKey)
{
    return u"Kovrel: Такая комбинация клавишь: "_s + hotKey + u" уже задействована..."_s;
}

class MacrosFormTest : public ::testing::Test
{
protected:
    // Created on first use, so that a test can store macros before the window loads them.
    TMacrosForm& form()
    {
        if (!m_form)
            m_form = std::make_unique<TMacrosForm>();
        return *m_form;
    }
    // For the buttons that work on a window that is up but not modal.
    void showForm()
    {
        form().show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&form()));
    }
    void restart() { m_form.reset(); }

    QTreeWidget* view() { return form().findChild<QTreeWidget*>(u"MacrosView"_s); }
    QPushButton* button(const QString& name) { return form().findChild<QPushButton*>(name); }
    void click(const QString& name) { QTest::mouseClick(button(name), Qt::LeftButton); }

    QList<Macro> rows()
    {
        QList<Macro> macros;
        for (int index = 0; index < view()->topLevelItemCount(); ++index) {
            const QTreeWidgetItem* row = view()->topLevelItem(index);
            macros.append({row->text(0), row->text(1)});
        }
        return macros;
    }
    QPoint rowCentre(int index) { return view()->visualItemRect(view()->topLevelItem(index)).center(); }
    void selectRow(int index) { QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, rowCentre(index)); }

    // Clicks `buttonName` and in the entry dialog it opens types `typed` at the end of the message,
    // presses `hotKey` in the message field when given, and clicks Ok.
    void enterMacro(const QString& buttonName, const QString& typed, std::optional<QKeyCombination> hotKey)
    {
        onNextModal([&](QDialog& dialog) {
            auto* message = dialog.findChild<QLineEdit*>(u"Edit1"_s);
            QTest::keyClick(message, Qt::Key_End);
            typeText(message, typed);
            if (hotKey)
                QTest::keyClick(message, hotKey->key(), hotKey->keyboardModifiers());
            QTest::mouseClick(dialog.findChild<QPushButton*>(u"Button1"_s), Qt::LeftButton);
        });
        click(buttonName);
    }

    // Clicks "Грохнуть" and answers its question with `answer`; the question's title and text.
    QString deleteAnswering(QMessageBox::StandardButton answer)
    {
        QString question;
        onNextModal([&](QDialog& dialog) {
            auto* box = qobject_cast<QMessageBox*>(&dialog);
            ASSERT_NE(box, nullptr);
            question = box->windowTitle() + u": "_s + box->text();
            QTest::mouseClick(box->button(answer), Qt::LeftButton);
        });
        click(kDelete);
        return question;
    }

    // ExecuteMacroList with `actions` run inside its modal loop.
    bool executeList(const std::function<void()>& actions)
    {
        onNextModal([&actions](QDialog&) { actions(); });
        return form().ExecuteMacroList();
    }

    test::SettingsSandbox m_settings;
    std::unique_ptr<TMacrosForm> m_form;
};

TEST_F(MacrosFormTest, ShowsTheStoredMacrosInTheirOrderAndFindsThemByTheirHotKeys)
{
    const QList<Macro> stored{
        {u"F2"_s, u"два"_s}, {u"Shift+Ctrl+F5"_s, u"пять"_s}, {u"None"_s, u"без клавиши"_s}};
    WriteMacros(stored);
    EXPECT_EQ(rows(), stored);
    EXPECT_EQ(form().FindMacro(Qt::Key_F5, Qt::ShiftModifier | Qt::ControlModifier), u"пять"_s);
    EXPECT_EQ(form().FindMacro(Qt::Key_A, Qt::ShiftModifier | Qt::ControlModifier), u""_s);
}

TEST_F(MacrosFormTest, AnAddedMacroIsAppendedAndStoredAtOnce)
{
    WriteMacros({{u"F1"_s, u"один"_s}});
    showForm();
    enterMacro(kAdd, u"Привет всем"_s, Qt::ControlModifier | Qt::Key_F3);
    const QList<Macro> expected{{u"F1"_s, u"один"_s}, {u"Ctrl+F3"_s, u"Привет всем"_s}};
    EXPECT_EQ(rows(), expected);
    EXPECT_EQ(ReadMacros(), expected);
    EXPECT_EQ(form().FindMacro(Qt::Key_F3, Qt::ControlModifier), u"Привет всем"_s);
}

TEST_F(MacrosFormTest, AHotKeyThatIsTakenIsRefusedAndNothingIsAdded)
{
    const QList<Macro> stored{{u"None"_s, u"первый"_s}, {u"F4"_s, u"четыре"_s}};
    WriteMacros(stored);
    showForm();
    test::MessageBoxAnswerer answerer;
    enterMacro(kAdd, u"второй"_s, std::nullopt); // a new macro starts with "None"
    enterMacro(kAdd, u"третий"_s, QKeyCombination(Qt::Key_F4));
    EXPECT_EQ(answerer.texts, QStringList({takenMessage(u"None"_s), takenMessage(u"F4"_s)}));
    EXPECT_EQ(rows(), stored);
    EXPECT_EQ(ReadMacros(), stored);
}

TEST_F(MacrosFormTest, EditingKeepsOrChangesTheHotKeyButNeverTakesAnotherRowsOne)
{
    WriteMacros({{u"F1"_s, u"один"_s}, {u"F2"_s, u"два"_s}});
    showForm();
    test::MessageBoxAnswerer answerer;
    selectRow(0);
    enterMacro(kEdit, u"!"_s, std::nullopt);
    QList<Macro> expected{{u"F1"_s, u"один!"_s}, {u"F2"_s, u"два"_s}};
    EXPECT_EQ(answerer.texts, QStringList()) << "its own hot key is no duplicate";
    EXPECT_EQ(rows(), expected);
    EXPECT_EQ(ReadMacros(), expected);

    enterMacro(kEdit, u"?"_s, QKeyCombination(Qt::Key_F2));
    EXPECT_EQ(answerer.texts, QStringList(takenMessage(u"F2"_s)));
    EXPECT_EQ(rows(), expected);

    enterMacro(kEdit, QString(), Qt::ShiftModifier | Qt::Key_F9);
    expected[0].hotKey = u"Shift+F9"_s;
    EXPECT_EQ(rows(), expected);
    EXPECT_EQ(ReadMacros(), expected);
}

TEST_F(MacrosFormTest, DeletingAsksFirstAndNoKeepsTheRow)
{
    WriteMacros({{u"F1"_s, u"один"_s}, {u"F2"_s, u"два"_s}});
    const QList<Macro> stored = ReadMacros();
    showForm();
    selectRow(1);
    EXPECT_EQ(deleteAnswering(QMessageBox::No), kDeleteQuestion);
    EXPECT_EQ(rows(), stored);
    EXPECT_EQ(ReadMacros(), stored);

    EXPECT_EQ(deleteAnswering(QMessageBox::Yes), kDeleteQuestion);
    EXPECT_EQ(rows(), QList<Macro>({{u"F1"_s, u"один"_s}}));
    EXPECT_EQ(ReadMacros(), rows());
}

// What the store came to hold meanwhile does not count: the rows are stored when the window goes.
TEST_F(MacrosFormTest, TheRowsSurviveARestartEqualsSignsIncluded)
{
    WriteMacros({{u"F1"_s, u"один"_s}});
    showForm();
    enterMacro(kAdd, u"a=b = c=="_s, Qt::ControlModifier | Qt::Key_Q);
    WriteMacros({{u"F9"_s, u"чужой"_s}});
    restart();
    EXPECT_EQ(rows(), QList<Macro>({{u"F1"_s, u"один"_s}, {u"Ctrl+Q"_s, u"a=b = c=="_s}}));
}

TEST_F(MacrosFormTest, ChoosingARowGivesItsMessageAndClosingGivesNothing)
{
    WriteMacros({{u"F1"_s, u"один"_s}, {u"F2"_s, u"два"_s}});
    EXPECT_TRUE(executeList([&] {
        click(kChoose);
        EXPECT_TRUE(form().isVisible()) << "no row selected";
        selectRow(1);
        click(kChoose);
    }));
    EXPECT_EQ(form().chosenText(), u"два"_s);

    EXPECT_TRUE(executeList([&] {
        selectRow(0); // the first click of a double click
        QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, rowCentre(0));
    }));
    EXPECT_EQ(form().chosenText(), u"один"_s);

    EXPECT_FALSE(executeList([&] {
        selectRow(1);
        click(kClose);
    }));
    EXPECT_EQ(form().chosenText(), u""_s);
}

} // namespace
} // namespace kovrel

// SPDX-License-Identifier: GPL-3.0-or-later
// The input pane through its own controls.

#include "input_pane.h"

#include "qt_printers.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

namespace kovrel {
namespace {

class InputPaneTest : public testing::Test
{
protected:
    InputPaneTest()
    {
        pane.show();
        box = pane.findChild<QComboBox*>(QStringLiteral("MsgEdit"));
        lineEdit = box->lineEdit();
        memo = pane.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
    }

    static void type(QWidget* target, const QString& text)
    {
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(target, &press);
        }
    }

    InputPane pane;
    QComboBox* box = nullptr; // keys go to it, as the focus proxy of its line
    QLineEdit* lineEdit = nullptr;
    QPlainTextEdit* memo = nullptr;
};

TEST_F(InputPaneTest, EnterSendsFromTheLineAndCtrlEnterFromTheEditor)
{
    QSignalSpy send(&pane, &InputPane::sendRequested);
    type(box, QStringLiteral("привет"));
    QTest::keyClick(box, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(send.count(), 1) << "Enter with any modifier sends";
    EXPECT_EQ(pane.text(), "привет") << "the text stays until the message went out";

    pane.setMultiLine(true);
    type(memo, QStringLiteral("раз"));
    QTest::keyClick(memo, Qt::Key_Return);
    type(memo, QStringLiteral("два"));
    EXPECT_EQ(send.count(), 1) << "Enter alone makes a new line in the editor";
    QTest::keyClick(memo, Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(send.count(), 2);
    EXPECT_EQ(pane.text(), "раз\r\nдва") << "the editor's lines travel with CR LF";
}

TEST_F(InputPaneTest, ASentMessageHeadsTheHistoryAndEmptiesTheInputs)
{
    pane.messageSent(QStringLiteral("один"));
    pane.messageSent(QString(300, QLatin1Char('x')));
    pane.messageSent(QStringLiteral("один"));
    auto* history = pane.findChild<QComboBox*>(QStringLiteral("MsgEdit"));
    ASSERT_EQ(history->count(), 2);
    EXPECT_EQ(history->itemText(0), "один");
    EXPECT_EQ(history->itemText(1).size(), 255);
    EXPECT_EQ(pane.text(), "");
}

TEST_F(InputPaneTest, InsertedTextIsSeparatedByOneBlank)
{
    pane.InsertInputText(QStringLiteral("макрос"));
    EXPECT_EQ(pane.text(), "макрос");
    pane.InsertInputText(QStringLiteral("ещё"));
    EXPECT_EQ(pane.text(), "макрос ещё");
    pane.setText(QStringLiteral("abc "));
    pane.InsertInputText(QStringLiteral("x"));
    EXPECT_EQ(pane.text(), "abc x");
    EXPECT_EQ(lineEdit->cursorPosition(), 5);
}

TEST_F(InputPaneTest, ADoubleClickAsksForTheOtherInput)
{
    QSignalSpy toggle(&pane, &InputPane::editorToggleRequested);
    QTest::mouseDClick(lineEdit, Qt::LeftButton);
    EXPECT_EQ(toggle.count(), 1);
    pane.setMultiLine(true);
    EXPECT_TRUE(memo->isVisible());
    EXPECT_FALSE(lineEdit->isVisible());
    QTest::mouseDClick(memo->viewport(), Qt::LeftButton);
    EXPECT_EQ(toggle.count(), 2);
}

// Under the conversation in a splitter, as in the main window, squeezed to one line.
TEST(InputPaneHeightTest, TheEditorShowsThreeLinesAndTheOneLineInputGivesTheRoomBack)
{
    QSplitter splitter(Qt::Vertical);
    splitter.addWidget(new QTextEdit);
    auto* pane = new InputPane;
    splitter.addWidget(pane);
    splitter.resize(400, 400);
    splitter.setSizes({1000, 29});
    splitter.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&splitter));
    auto* memo = pane->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
    // All three lines in sight: nothing left to scroll to.
    const auto showsThreeLines = [memo] {
        memo->setPlainText(QStringLiteral("раз\nдва\nтри"));
        QApplication::processEvents();
        return memo->verticalScrollBar()->maximum() == 0 &&
               memo->viewport()->height() >= 3 * memo->fontMetrics().height();
    };

    pane->setMultiLine(true);
    EXPECT_TRUE(QTest::qWaitFor(showsThreeLines)) << "the editor is " << memo->height() << " px high";

    QFont larger = memo->font();
    larger.setPixelSize(3 * QFontInfo(larger).pixelSize());
    memo->setFont(larger); // the fonts dialog sets the input's font
    EXPECT_TRUE(QTest::qWaitFor(showsThreeLines)) << "the editor is " << memo->height() << " px high";

    pane->setMultiLine(false);
    splitter.setSizes({1000, 29});
    EXPECT_EQ(splitter.sizes().value(1), 29) << "one line needs no more";
}

TEST_F(InputPaneTest, TheLineInsideTheBoxIsNamedAsTheBox)
{
    QAccessibleInterface* line = QAccessible::queryAccessibleInterface(lineEdit);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->text(QAccessible::Name), "Сообщение");
    EXPECT_EQ(line->text(QAccessible::Name), box->accessibleName());
    EXPECT_EQ(line->text(QAccessible::Description), box->accessibleDescription());
}

} // namespace
} // namespace kovrel

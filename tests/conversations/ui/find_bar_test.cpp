// SPDX-License-Identifier: GPL-3.0-or-later
#include "find_bar.h"

#include "qt_printers.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace kovrel {
namespace {

class FindBarTest : public testing::Test
{
protected:
    FindBarTest()
    {
        auto* layout = new QVBoxLayout(&window);
        conversation = new QTextEdit(&window);
        conversation->setReadOnly(true);
        bar = new FindBar(&window);
        layout->addWidget(conversation);
        layout->addWidget(bar);
        QStringList lines;
        for (int line = 0; line < 300; ++line) {
            lines << QStringLiteral("Вася: строка %1").arg(line);
        }
        lines[10] = QStringLiteral("Петя: пойдём обедать");
        lines[250] = QStringLiteral("Коля: петя, ты где?");
        conversation->setPlainText(lines.join(QLatin1Char('\n')));
        window.resize(400, 300);
        window.show();
        bar->setTarget(conversation);
        bar->open();
        field = bar->findChild<QLineEdit*>(QStringLiteral("FindEdit"));
    }

    void type(const QString& text)
    {
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(field, &press);
        }
    }

    // The text of the match shown as the current one (the last highlight).
    QString current() const { return conversation->extraSelections().back().cursor.selectedText(); }
    int currentLine() const { return conversation->extraSelections().back().cursor.blockNumber(); }
    QToolButton* button(const char* name) const { return bar->findChild<QToolButton*>(QLatin1String(name)); }

    QWidget window;
    QTextEdit* conversation = nullptr;
    FindBar* bar = nullptr;
    QLineEdit* field = nullptr;
};

TEST_F(FindBarTest, HighlightsEveryMatchAndStepsThroughThemRoundTheEnds)
{
    type(QStringLiteral("петя"));
    EXPECT_EQ(bar->matchCount(), 2) << "letter case is ignored unless asked";
    EXPECT_EQ(conversation->extraSelections().size(), 3) << "two matches and the current one";
    EXPECT_EQ(currentLine(), 10);
    button("NextButton")->click();
    EXPECT_EQ(currentLine(), 250);
    QScrollBar* scroll = conversation->verticalScrollBar();
    EXPECT_GT(scroll->value(), 0) << "the view moves to the match";
    button("NextButton")->click();
    EXPECT_EQ(currentLine(), 10) << "round from the end to the start";
    button("PreviousButton")->click();
    EXPECT_EQ(currentLine(), 250) << "and back";
    EXPECT_FALSE(conversation->textCursor().hasSelection()) << "finding selects nothing in the conversation";

    bar->findChild<QCheckBox*>(QStringLiteral("CaseBox"))->click();
    EXPECT_EQ(bar->matchCount(), 1);
    EXPECT_EQ(current(), "петя");
}

TEST_F(FindBarTest, ReturnStepsAndEscClosesTheBarWithItsHighlights)
{
    type(QStringLiteral("строка 29"));
    EXPECT_EQ(bar->matchCount(), 1 + 10) << "\"строка 29\" and \"строка 290\" to \"строка 299\"";
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(currentLine(), 290);
    QTest::keyClick(field, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(currentLine(), 29);
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_TRUE(conversation->extraSelections().isEmpty());
}

TEST_F(FindBarTest, ATextThatIsNotThereMarksTheFieldUntilFoundOrEmptied)
{
    const QColor base = field->palette().color(QPalette::Base);
    auto* notFound = bar->findChild<QLabel*>(QStringLiteral("NotFoundLabel"));
    ASSERT_NE(notFound, nullptr);
    EXPECT_EQ(notFound->accessibleName(), "Не найдено");
    EXPECT_FALSE(notFound->isVisible());

    type(QStringLiteral("обедать!"));
    EXPECT_EQ(bar->matchCount(), 0);
    EXPECT_TRUE(notFound->isVisible());
    EXPECT_EQ(notFound->text(), "Не найдено");
    EXPECT_NE(field->palette().color(QPalette::Base), base);
    EXPECT_GT(field->palette().color(QPalette::Base).red(), field->palette().color(QPalette::Base).blue())
        << "a red field";

    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_EQ(bar->matchCount(), 1);
    EXPECT_FALSE(notFound->isVisible());
    EXPECT_EQ(field->palette().color(QPalette::Base), base);

    type(QStringLiteral("?"));
    EXPECT_TRUE(notFound->isVisible());
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    EXPECT_FALSE(notFound->isVisible()) << "an empty field finds nothing but is not marked";
    EXPECT_EQ(field->palette().color(QPalette::Base), base);

    type(QStringLiteral("ПЕТЯ"));
    EXPECT_FALSE(notFound->isVisible());
    bar->findChild<QCheckBox*>(QStringLiteral("CaseBox"))->click();
    EXPECT_TRUE(notFound->isVisible()) << "letter case counts now";
}

TEST_F(FindBarTest, FollowsThePageItIsGiven)
{
    type(QStringLiteral("обедать"));
    QTextEdit other;
    other.setPlainText(QStringLiteral("обедать\nобедать"));
    bar->setTarget(&other);
    EXPECT_TRUE(conversation->extraSelections().isEmpty()) << "the old page loses its highlights";
    EXPECT_EQ(bar->matchCount(), 2);
}

} // namespace
} // namespace kovrel

// SPDX-License-Identifier: GPL-3.0-or-later
// The conversation pages and their views, driven as the window drives them.

#include "conversation_pages.h"

#include "conversation_view.h"
#include "qt_printers.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QTextBlock>

#include <gtest/gtest.h>

namespace kovrel {
namespace {

ChatLine line(const QString& text, std::optional<QString> partner = std::nullopt, bool atBottom = true)
{
    return {std::move(partner), text, std::nullopt, atBottom};
}

class ConversationPagesTest : public testing::Test
{
protected:
    ConversationPagesTest()
    {
        pages.resize(400, 300);
        pages.show();
    }

    QString textOf(const std::optional<QString>& partner = std::nullopt)
    {
        pages.flushLines();
        return pages.viewOf(partner)->toPlainText();
    }

    ConversationPages pages;
};

TEST_F(ConversationPagesTest, PagesAreKnownByTheirPartnerNotByTheirCaption)
{
    QSignalSpy shown(&pages, &ConversationPages::conversationShown);
    EXPECT_TRUE(pages.openConversation(QStringLiteral("A&B")));
    EXPECT_TRUE(pages.openConversation(QStringLiteral("a&b")));
    EXPECT_FALSE(pages.openConversation(QStringLiteral("A&B"))) << "it is open already";
    EXPECT_EQ(shown.count(), 0) << "opening is not a page change";
    EXPECT_EQ(pages.tabText(1), "A&&B");
    EXPECT_EQ(pages.currentPartner(), "a&b") << "the page opened last is shown";
    EXPECT_EQ(pages.FindPrivatePage(QStringLiteral("A&B")), 1);
    EXPECT_EQ(pages.FindPrivatePage(QStringLiteral("AB")), -1);

    pages.writeLine(line(QStringLiteral("для A&B"), QStringLiteral("A&B")));
    pages.writeLine(line(QStringLiteral("никому"), QStringLiteral("Никто")));
    EXPECT_EQ(textOf(QStringLiteral("A&B")), "для A&B");
    EXPECT_EQ(textOf(QStringLiteral("a&b")), "") << "a line for a conversation without a page is dropped";
}

TEST_F(ConversationPagesTest, ClosingAPageShowsThePageBeforeItAsAPageChange)
{
    pages.openConversation(QStringLiteral("Петя"));
    pages.openConversation(QStringLiteral("Коля"));
    QSignalSpy shown(&pages, &ConversationPages::conversationShown);
    pages.ToolButton4Click();
    ASSERT_EQ(shown.count(), 1);
    EXPECT_EQ(shown.front().front().value<std::optional<QString>>(), "Петя");
    EXPECT_EQ(pages.count(), 2);
    pages.showConversation(std::nullopt);
    pages.ToolButton4Click();
    EXPECT_EQ(pages.count(), 2) << "the common page cannot be closed";
}

TEST_F(ConversationPagesTest, LinesGoToTheBottomOrTheTopAndTheViewFollows)
{
    for (int number = 1; number <= 200; ++number) {
        pages.writeLine(line(QStringLiteral("строка %1").arg(number)));
    }
    EXPECT_EQ(textOf().count('\n'), 199);
    QScrollBar* bar = pages.viewOf(std::nullopt)->verticalScrollBar();
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->maximum() > 0 && bar->value() == bar->maximum(); }))
        << "a reader at the bottom sees the newest line";

    const int reading = bar->maximum() / 2;
    bar->setValue(reading);
    pages.writeLine(line(QStringLiteral("ещё одна")));
    pages.flushLines();
    EXPECT_EQ(bar->value(), reading) << "a reader who scrolled back stays where he reads";

    pages.writeLine(line(QStringLiteral("наверху"), std::nullopt, false));
    EXPECT_TRUE(textOf().startsWith("наверху\nстрока 1\n"));
    EXPECT_EQ(bar->value(), bar->minimum()) << "a line at the top brings the view there";
}

TEST_F(ConversationPagesTest, ClearingEmptiesThePageShownWithLinesNotYetShown)
{
    pages.openConversation(QStringLiteral("Петя"));
    pages.writeLine(line(QStringLiteral("общая")));
    pages.writeLine(line(QStringLiteral("личная"), QStringLiteral("Петя")));
    pages.ToolButton3Click();
    EXPECT_EQ(textOf(QStringLiteral("Петя")), "");
    EXPECT_EQ(textOf(), "общая");
}

TEST_F(ConversationPagesTest, NetworkTextIsNeverMarkupAndStylesApplyPerLine)
{
    TextStyle bold;
    bold.name = QStringLiteral("No Such Face Anywhere");
    bold.color = 0x0000ff; // red
    bold.height = -20;
    bold.bold = true;
    pages.writeLine({std::nullopt, QStringLiteral("<b>не жирно</b> &amp;"), bold, true});
    pages.writeLine(line(QStringLiteral("обычная")));
    EXPECT_EQ(textOf(), "<b>не жирно</b> &amp;\nобычная");
    const QTextDocument* document = pages.viewOf(std::nullopt)->document();
    const QTextCharFormat styled = document->firstBlock().begin().fragment().charFormat();
    EXPECT_TRUE(styled.font().bold()) << "a face that is not installed keeps the style's other attributes";
    EXPECT_EQ(styled.font().pixelSize(), 20);
    EXPECT_EQ(styled.foreground().color(), QColor(255, 0, 0));
    const QTextCharFormat plain = document->lastBlock().begin().fragment().charFormat();
    EXPECT_FALSE(plain.font().bold());

    // The page's face, as the window passes a chosen font on to it, applies to the lines that follow,
    // in the received style as in the page's own.
    TextStyle heavy;
    heavy.bold = true;
    pages.writeLine({std::nullopt, QStringLiteral("жирная"), heavy, true});
    textOf();
    QFont larger = pages.font();
    larger.setPixelSize(31);
    pages.setFont(larger);
    pages.writeLine(line(QStringLiteral("крупная")));
    pages.writeLine({std::nullopt, QStringLiteral("крупная жирная"), heavy, true});
    textOf();
    const QTextBlock styledAfter = document->lastBlock();
    EXPECT_EQ(styledAfter.begin().fragment().charFormat().font().pixelSize(), 31);
    EXPECT_TRUE(styledAfter.begin().fragment().charFormat().font().bold());
    EXPECT_EQ(styledAfter.previous().begin().fragment().charFormat().font().pixelSize(), 31);
}

TEST_F(ConversationPagesTest, SelectingTextHandsItOverButTheCaretAloneDoesNot)
{
    pages.writeLine(line(QStringLiteral("пойдём обедать")));
    pages.flushLines();
    QSignalSpy selected(&pages, &ConversationPages::textSelected);
    ConversationView* view = pages.viewOf(std::nullopt);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(selected.count(), 0);
    QTextCursor word(view->document());
    word.movePosition(QTextCursor::EndOfWord, QTextCursor::KeepAnchor);
    view->setTextCursor(word);
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected.front().front().toString(), "пойдём");
}

} // namespace
} // namespace kovrel

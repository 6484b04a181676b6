// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversation_view.h"

#include "text_format.h"

#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace kovrel {

ConversationView::ConversationView(QWidget* parent) : QTextEdit(parent)
{
    setReadOnly(true);
    setAcceptRichText(false);
    setUndoRedoEnabled(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QScrollBar* bar = verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this,
            [this, bar](int value) { m_following = value == bar->maximum(); });
    connect(bar, &QScrollBar::rangeChanged, this, [this](int, int maximum) { followBottom(maximum); });
    connect(this, &QTextEdit::selectionChanged, this, &ConversationView::onSelectionChanged);
}

void ConversationView::addLine(const ChatLine& line)
{
    m_pending.push_back({line.text, formatFor(line.style), line.atBottom});
}

QTextCharFormat ConversationView::formatFor(const std::optional<TextStyle>& style)
{
    if (!m_defaultFormat) {
        m_defaultFormat = DefaultCharFormat(font(), palette());
    }
    if (!style) {
        return *m_defaultFormat;
    }
    if (style != m_lastStyle) {
        m_lastStyle = style;
        m_lastStyleFormat = CharFormatFor(*style, *m_defaultFormat, palette());
    }
    return m_lastStyleFormat;
}

void ConversationView::changeEvent(QEvent* event)
{
    // Both formats come from the page's own face: with another font or palette they are made anew.
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) {
        m_defaultFormat.reset();
        m_lastStyle.reset();
    }
    QTextEdit::changeEvent(event);
}

void ConversationView::flushPending()
{
    if (m_pending.empty()) {
        return;
    }
    // Writing moves the caret and the selection: that is not the user selecting text.
    const QSignalBlocker quiet(this);
    const bool endsAtTop = !m_pending.back().atBottom;
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    insertPending(cursor);
    cursor.endEditBlock();
    m_pending.clear();
    QScrollBar* bar = verticalScrollBar();
    if (endsAtTop) {
        bar->setValue(bar->minimum());
    } else {
        followBottom(bar->maximum());
    }
}

void ConversationView::insertPending(QTextCursor& cursor)
{
    for (const PendingLine& line : m_pending) {
        const bool empty = document()->isEmpty();
        if (line.atBottom) {
            cursor.movePosition(QTextCursor::End);
            if (!empty) {
                cursor.insertBlock(QTextBlockFormat(), line.format);
            }
            cursor.insertText(line.text, line.format);
        } else {
            cursor.movePosition(QTextCursor::Start);
            cursor.insertText(line.text, line.format);
            if (!empty) {
                cursor.insertBlock();
            }
        }
    }
}

void ConversationView::clearLines()
{
    m_pending.clear();
    const QSignalBlocker quiet(this);
    clear();
}

// Lines keep coming while the reader is at the bottom: the view goes on showing the newest whole, also
// when the page is laid out bit by bit after a large batch.
void ConversationView::followBottom(int maximum)
{
    if (m_following) {
        verticalScrollBar()->setValue(maximum);
    }
}

void ConversationView::onSelectionChanged()
{
    const QString selected = textCursor().selectedText();
    if (!selected.isEmpty()) {
        emit textSelected(QString(selected).replace(QChar::ParagraphSeparator, QLatin1Char('\n')));
    }
}

} // namespace kovrel

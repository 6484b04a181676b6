// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chat_line.h"

#include <QTextCharFormat>
#include <QTextEdit>

#include <optional>
#include <vector>

namespace kovrel {

// The read-only text of one conversation (the common one, "Common", or a private one, "Privat"). Lines
// are collected and written in one edit block per batch (flushPending), which keeps a burst of received
// lines from laying the page out again for every line. Text from the network is inserted as plain text
// with explicit character formats, never as markup. While the reader is at the bottom, the view follows
// new lines; a line inserted at the top brings the view to the top.
class ConversationView : public QTextEdit
{
    Q_OBJECT

public:
    explicit ConversationView(QWidget* parent = nullptr);

    // Queues a line; it shows with the next flushPending().
    void addLine(const ChatLine& line);
    bool hasPendingLines() const { return !m_pending.empty(); }
    void flushPending();
    // Empties the page, lines not yet shown included.
    void clearLines();

protected:
    void changeEvent(QEvent* event) override;

signals:
    // The user selected text in the conversation (not emitted for a mere caret move).
    void textSelected(const QString& text);

private:
    struct PendingLine
    {
        QString text;
        QTextCharFormat format;
        bool atBottom;
    };

    QTextCharFormat formatFor(const std::optional<TextStyle>& style);
    void insertPending(QTextCursor& cursor);
    void followBottom(int maximum);
    void onSelectionChanged();

    std::vector<PendingLine> m_pending;
    // The format of the lines in the page's own face, made once for all of them.
    std::optional<QTextCharFormat> m_defaultFormat;
    // The format of the last received style, made once for the lines that follow it.
    std::optional<TextStyle> m_lastStyle;
    QTextCharFormat m_lastStyleFormat;
    bool m_following = true;
};

} // namespace kovrel

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace kovrel {

// The find bar under the conversation pages: every match of the text in the conversation shown is
// highlighted, "Далее" and "Назад" step through them (wrapping at the ends), Esc closes the bar. A text
// that is not in the conversation turns the field red and shows "Не найдено" beside it. Finding never
// selects text in the conversation, so the message being typed is left alone.
class FindBar : public QWidget
{
    Q_OBJECT

public:
    // More matches than this are still stepped through, but only this many are highlighted at once.
    static constexpr int kMostHighlighted = 2000;

    explicit FindBar(QWidget* parent = nullptr);

    // The conversation to search; the bar follows the page shown.
    void setTarget(QTextEdit* conversation);
    // Shows the bar with its field focused and its text selected.
    void open();
    // Hides the bar and takes its highlights away.
    void dismiss();

    void findNext();
    void findPrevious();
    int matchCount() const { return m_matchCount; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void createControls();
    void highlightMatches();
    void step(bool forward);
    QTextDocument::FindFlags flags() const;
    void showCurrent();
    void applyHighlights();
    void showFound(bool found);

    QLabel* m_label;
    QLineEdit* FindEdit;
    QLabel* NotFoundLabel;
    QToolButton* NextButton;
    QToolButton* PreviousButton;
    QCheckBox* CaseBox;
    QToolButton* CloseButton;
    QTextEdit* m_target = nullptr;
    QList<QTextEdit::ExtraSelection> m_matches;
    QTextCursor m_current;
    int m_matchCount = 0;
};

} // namespace kovrel

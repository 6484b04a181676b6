// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "input_history.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QPlainTextEdit;
class QStackedLayout;
class QToolButton;

namespace kovrel {

// Where the user writes ("Panel4"): the one-line input with the history of sent texts ("MsgEdit" on
// "Panel6") or the multi-line editor ("Memo1" on "Panel7"), exactly one of them shown; the button of the
// own text style ("SpeedButton1") and the importance box ("ImpotantBox").
class InputPane : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kMaxInputLength = 2048;
    // The editor is never lower than this many lines.
    static constexpr int kEditorLines = 3;
    // The height the one-line input needs, and the pane's height when nothing else is stored.
    static constexpr int kDefaultHeight = 29;

    explicit InputPane(QWidget* parent = nullptr);

    bool isMultiLine() const;
    // Shows the editor or the one-line input and gives it the focus; text is not carried over.
    void setMultiLine(bool multiLine);

    // The text of the shown input; the editor's lines are joined by CR LF.
    QString text() const;
    void setText(const QString& text);
    // Appends a text (a macro's) to the shown input, with one blank between unless the input is empty or
    // already ends with one.
    void InsertInputText(const QString& text);
    // Text selected in a conversation, copied into the input for a quick reply: only into an empty input
    // or over the selection copied there before, never over text the user typed.
    void offerSelection(const QString& selection);
    // The input holds text of the user's own, not just a copied selection.
    bool holdsTypedText() const;
    // The one-line input and the editor, which share the attribute set of the message input.
    QList<QWidget*> inputs() const;
    // A message went out: its text heads the history, the inputs are emptied and the focus comes back.
    void messageSent(const QString& text);

signals:
    // Enter in the one-line input, Ctrl+Enter in the editor.
    void sendRequested();
    // A double click in either input.
    void editorToggleRequested();
    // The button of the own text style.
    void styleRequested();
    // The importance box was ticked or cleared.
    void importanceChanged(bool important);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* createOneLineInput();
    QWidget* createEditor();
    QWidget* createStyleButtons();
    void focusShownInput();
    // Keeps the pane tall enough for the shown input: kEditorLines lines of the editor's font.
    void fitHeight();

    QStackedLayout* m_inputs;
    QWidget* Panel6;
    QComboBox* MsgEdit;
    QWidget* Panel7;
    QPlainTextEdit* Memo1;
    QToolButton* SpeedButton1;
    QCheckBox* ImpotantBox;
    InputHistory m_history;
    // The input's text as the last copied selection left it.
    QString m_offeredSelection;
};

} // namespace kovrel

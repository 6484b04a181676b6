// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QPlainTextEdit;
class QToolButton;

namespace kovrel {

// Pop-up for one important line of a conversation: an always-on-top window in the middle of the screen
// showing the line in large red letters until the user dismisses it with "Прибить", Esc or the frame.
// Each important line gets a window of its own; closing it destroys it.
class TImpotatntMessageForm : public QWidget
{
    Q_OBJECT

public:
    explicit TImpotatntMessageForm(QWidget* parent = nullptr);

    // The line is network data and is shown as plain text, never interpreted as markup.
    void SetMessageText(const QString& line);
    // Adds a further line below the ones shown.
    void AddMessageText(const QString& line);

private:
    void createControls();
    void centreOnScreen();

    QPlainTextEdit* Memo1;
    QToolButton* SpeedButton1;
};

} // namespace kovrel

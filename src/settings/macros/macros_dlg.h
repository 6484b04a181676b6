// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include "settings_layout.h"

class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kovrel {

// "Ввод макроса": the message of a macro and its hot key, picked from the hot key texts. Created once and
// shown as often as needed; between uses it keeps what it last held, unless the caller asks for a new
// macro. While it is open, pressing a hot key anywhere in it, even while typing the message, picks that
// hot key instead of reaching the focused control. "Ok" is enabled only for a message that is not blank
// with a hot key picked.
class TMacrosDlg : public QDialog
{
    Q_OBJECT

public:
    explicit TMacrosDlg(QWidget* parent = nullptr);

    // In new-macro mode ExecuteMacroEntry starts from an empty message and the hot key "None".
    void setNewMacroMode(bool newMacro) { m_newMacro = newMacro; }
    // Shows `macro` for editing and leaves new-macro mode; a hot key that is not one of the texts
    // offered leaves the pick empty.
    void presetMacro(const Macro& macro);
    // Shows the dialog modally with the focus in the message; true when it was closed with "Ok".
    bool ExecuteMacroEntry();
    // What the dialog shows: the hot key is empty while none is picked.
    Macro enteredMacro() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void createControls();
    void arrangeControls();
    void reserveBoldWidths();
    bool contains(const QObject* object) const;
    bool previewKey(const QKeyEvent* event);
    void updateOkButton();
    void updateFocusHighlight();

    QLineEdit* Edit1;
    QComboBox* ComboBox1;
    QPushButton* Button1;
    QPushButton* Button2;

    QLabel* m_messageLabel;
    QLabel* m_hotKeyLabel;
    bool m_newMacro = true;
};

} // namespace kovrel

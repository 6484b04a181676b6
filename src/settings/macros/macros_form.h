// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QList>
#include <QString>

#include "settings_layout.h"

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace kovrel {

class TMacrosDlg;

// "Макросы": the list of keyboard macros, a hot key and a message text each. Created once at start, it
// loads the macros from the settings; its rows are then the one list the program looks hot keys up in.
// Every confirmed change (add, edit, delete) is stored at once, so that a crash loses nothing, and the
// whole list is stored once more when the window is destroyed. It owns its macro entry dialog, which
// opens centred over it, as it opens centred on the screen.
class TMacrosForm : public QDialog
{
    Q_OBJECT

public:
    // Loads the macros (LoadMacros).
    explicit TMacrosForm(QWidget* parent = nullptr);
    // Stores the macros (SaveMacros); a failure is only logged, as nothing is left to show it in.
    ~TMacrosForm() override;

    // Shows the list modally; true when a macro was chosen, whose message is then chosenText().
    bool ExecuteMacroList();
    // Empty unless the last ExecuteMacroList chose a macro.
    QString chosenText() const { return m_chosenText; }

    // The message of the macro bound to the hot key pressed; empty when there is none.
    QString FindMacro(int key, Qt::KeyboardModifiers modifiers) const;

private:
    void createControls();
    QPushButton* createButton(const QString& objectName, const QString& caption);
    void arrangeControls();
    void centreOnScreen();

    void LoadMacros();
    void SaveMacros();
    QList<Macro> macros() const;
    void appendRow(const Macro& macro);
    static void showMacro(QTreeWidgetItem* row, const Macro& macro);
    static Macro macroOf(const QTreeWidgetItem* row);
    QTreeWidgetItem* selectedRow() const;
    bool refuseTakenHotKey(const QString& hotKey, const QTreeWidgetItem* editedRow);

    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();

    QTreeWidget* MacrosView;
    QPushButton* Button1; // "Выбрать"
    QPushButton* Button2; // "Добавить"
    QPushButton* Button3; // "Изменить"
    QPushButton* Button4; // "Грохнуть"
    QPushButton* Button5; // "Закрыть"

    TMacrosDlg* m_entryDialog;
    QString m_chosenText;
};

} // namespace kovrel

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "state_pictures.h"

#include <QDialog>

#include <array>

class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace kovrel {

// "Конфигурация состояний": the five state rows with their plain and incoming pictures and the files they
// come from. A row's menu chooses a file for either picture or returns the row to the built-in pictures;
// only "Ok" stores the paths and puts the pictures into use.
class TStatesConfigDlg : public QDialog
{
    Q_OBJECT

public:
    explicit TStatesConfigDlg(StateImageList& pictures, QWidget* parent = nullptr);

    // Shows the pictures in use and the stored paths in the list, in the roster's font and background, and
    // runs the dialog. True when the user confirmed it with "Ok": then the paths are stored (SettingsError
    // when that fails) and the pictures are in use.
    bool ExecuteStatesDialog(const QWidget& roster);

private:
    enum class Column
    {
        State = 0,
        Plain = 1,
        Incoming = 2,
    };

    void createControls();
    void createMenu();
    void arrangeControls();
    void loadRows();
    void showRow(int row);
    std::optional<int> selectedRow() const;
    std::optional<QString> askForPicture(const QString& current);
    void choosePicture(Column column);
    void SelectPicture1Click() { choosePicture(Column::Plain); }
    void SelectIncommingPicture1Click() { choosePicture(Column::Incoming); }
    void ResetDefault1Click();
    void SpeedButton5Click();

    StateImageList& m_pictures;
    QTreeWidget* ListView1;
    QMenu* PopupMenu1;
    QPushButton* SpeedButton5; // "Ok"
    QPushButton* SpeedButton6; // "Отмена"
    // The dialog's own copy of the pictures (the pictures being edited), shown by the list and
    // put into use by "Ok".
    StatePictureSet m_working;
    // Each row's plain and incoming picture path, empty for the built-in picture.
    std::array<std::array<QString, 2>, kStatePictureRowPositions.size()> m_paths;
};

} // namespace kovrel

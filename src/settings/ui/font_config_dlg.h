// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <tuple>

#include <QDialog>
#include <QString>

#include "attribute_set.h"

class QColorDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace kovrel {

class FontChooserDialog;

// The rows of the font dialog, one per attribute set of the main window's areas.
enum class FontRow
{
    Common,   // the common conversation
    Private,  // the private conversations
    Users,    // the user lists
    MsgInput, // the message input fields
};

// "Конфигурация шрифтов": one row per area of the main window with the name of its attribute set, a
// preview in the set's font and background, and the buttons "Шрифт.." and "Фон..." that change them.
// The main window creates it once. Every opening shows the sets as stored; only "Ok" stores them.
class TFontConfigDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kRows = 4;

    explicit TFontConfigDlg(QWidget* parent = nullptr);

    // Loads the previews from the store, each value that is not stored keeping what the preview shows, and
    // shows the dialog modally. True when the user confirmed it with "Ok": then all four sets are stored,
    // changed or not. Raises SettingsError when storing fails.
    bool ExecuteFontDialog();

    // The name the row's set is stored under: the caption of the row's label.
    QString setName(FontRow row) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    using RowControls = std::tuple<QLabel*, QLineEdit*, QToolButton*, QToolButton*>;

    void createControls();
    RowControls createRow(int row, const QString& setName, const QString& previewText);
    void createChoosers();
    void arrangeControls();

    std::array<QLabel*, kRows> labels() const { return {Label1, Label2, Label3, Label4}; }
    std::array<QLineEdit*, kRows> previews() const { return {Edit1, Edit2, Edit3, Edit4}; }
    void loadRows();
    void storeRows() const;
    void showRow(int row);

    void chooseFont(int tag);
    void showChosenFont();
    void chooseBackground(int tag);

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QLineEdit* Edit3;
    QLineEdit* Edit4;
    // "Шрифт.." of rows 1 to 4.
    QToolButton* SpeedButton1;
    QToolButton* SpeedButton2;
    QToolButton* SpeedButton3;
    QToolButton* SpeedButton4;
    // "Фон..." of rows 1 to 4.
    QToolButton* SpeedButton7;
    QToolButton* SpeedButton8;
    QToolButton* SpeedButton9;
    QToolButton* SpeedButton10;
    QPushButton* SpeedButton5; // "Ok"
    QPushButton* SpeedButton6; // "Отмена"
    FontChooserDialog* FontDialog1;
    QColorDialog* ColorDialog1;

    // What each row's preview shows, as colour numbers and with the character set, neither of which the
    // preview itself keeps: a system colour must be stored as one, and a stored character set unchanged.
    std::array<AttributeSet, kRows> m_shown;
    // The row whose "Шрифт.." opened the font chooser: its Apply button previews into this row.
    int m_tag = 0;
};

} // namespace kovrel

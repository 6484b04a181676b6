// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QColor>
#include <QDialog>
#include <QFont>

class QCheckBox;
class QDialogButtonBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;
class QToolButton;

namespace kovrel {

// The client's font chooser: face, style, size, underline, strike-out and the text colour, with a sample
// drawn in the choice as it changes. The colour is what QFontDialog lacks. An optional Apply button
// ("Применить") hands the current choice over without closing, for callers that preview it elsewhere
// while the chooser stays open.
class FontChooserDialog : public QDialog
{
    Q_OBJECT

public:
    struct Choice
    {
        QFont font;
        QColor color;
    };

    explicit FontChooserDialog(QWidget* parent = nullptr);

    // Shows `initial` in a modal chooser titled `title`; nothing when the user cancels.
    static std::optional<Choice> getChoice(const Choice& initial, QWidget* parent, const QString& title);

    // The lists show the face Qt really draws `font` with: a family that is not installed shows as the
    // one that stands in for it.
    void setChosenFont(const QFont& font);
    // A point-sized font with the chosen underline and strike-out.
    QFont chosenFont() const { return m_font; }
    void setChosenColor(const QColor& color);
    QColor chosenColor() const { return m_color; }

    // Hidden until a caller asks for it.
    void setApplyButtonVisible(bool visible);

signals:
    // The Apply button was pressed; chosenFont() and chosenColor() hold the choice.
    void applied();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createControls();
    void createFaceControls();
    void createEffectControls();
    void createSample();
    QGroupBox* createEffectsGroup();
    QGroupBox* createSampleGroup();
    void createButtons();
    void arrangeControls();
    void connectControls();

    void fillFamilies();
    void fillStyles();
    void fillSizes();
    void changeFamily();
    void changeStyle();
    void showSizeInList(int size);
    void chooseColor();
    void updateFont();
    void updateColorButton();
    void updateSample();

    QLabel* m_familyLabel;
    QListWidget* m_familyList;
    QLabel* m_styleLabel;
    QListWidget* m_styleList;
    QLabel* m_sizeLabel;
    QSpinBox* m_sizeSpin;
    QListWidget* m_sizeList;
    QCheckBox* m_strikeOutBox;
    QCheckBox* m_underlineBox;
    QLabel* m_colorLabel;
    QToolButton* m_colorButton;
    QLabel* m_sample;
    QDialogButtonBox* m_buttons;
    QPushButton* m_applyButton;

    QFont m_font;
    // The style the user chose last, kept while browsing faces that lack it.
    QFont m_wantedStyle;
    QColor m_color;
};

} // namespace kovrel

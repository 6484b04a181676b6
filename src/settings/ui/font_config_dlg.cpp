// SPDX-License-Identifier: GPL-3.0-or-later
#include "font_config_dlg.h"

#include <algorithm>

#include <QColorDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

#include "dialog_footer.h"
#include "font_chooser_dialog.h"
#include "named_control.h"

namespace kovrel {

namespace {

// The previews are as wide as the longest preview text in the dialog's font needs, and stay so whatever
// font a set gives them; this many average characters more leave room for the frame and margins.
constexpr int kPreviewSlackCharacters = 2;
// Rows apart by more than the style's spacing, so that each row's previews and buttons read as one line.
constexpr double kRowSpacingLines = 0.6;

QString numberedName(const char* kind, int number)
{
    return QString::fromLatin1(kind) + QString::number(number);
}

QLineEdit* createPreview(QWidget* parent, int row, const QString& setName, const QString& text)
{
    auto* preview = named(new QLineEdit(text, parent), numberedName("Edit", row + 1), setName);
    preview->setReadOnly(true);
    preview->setFocusPolicy(Qt::NoFocus);
    preview->setCursorPosition(0);
    return preview;
}

QToolButton* createRowButton(QWidget* parent, int number, const QString& caption,
                             const QString& accessibleName)
{
    auto* button = named(new QToolButton(parent), numberedName("SpeedButton", number), accessibleName);
    button->setText(caption);
    button->setAutoRaise(true);
    return button;
}

QPushButton* createButton(QWidget* parent, int number, const QString& caption)
{
    return named(new QPushButton(caption, parent), numberedName("SpeedButton", number), caption);
}

int widestText(const QWidget* widget, const QStringList& texts)
{
    int widest = 0;
    for (const QString& text : texts)
        widest = std::max(widest, widget->fontMetrics().horizontalAdvance(text));
    return widest;
}

} // namespace

TFontConfigDlg::TFontConfigDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Конфигурация шрифтов"));
    createControls();
    createChoosers();
    arrangeControls();
    for (int row = 0; row < kRows; ++row)
        m_shown[row] = AttributeSetOf(previews()[row]);
}

bool TFontConfigDlg::ExecuteFontDialog()
{
    loadRows();
    if (exec() != QDialog::Accepted)
        return false;
    storeRows();
    return true;
}

QString TFontConfigDlg::setName(FontRow row) const
{
    return labels()[static_cast<int>(row)]->text();
}

// Centred on the screen rather than over the main window.
void TFontConfigDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    move(screen()->availableGeometry().center() - rect().center());
}

void TFontConfigDlg::createControls()
{
    std::tie(Label1, Edit1, SpeedButton1, SpeedButton7) =
        createRow(0, QStringLiteral("Общий"), QStringLiteral("К нам пришёл Mr.Tamble"));
    std::tie(Label2, Edit2, SpeedButton2, SpeedButton8) =
        createRow(1, QStringLiteral("Приват"), QStringLiteral("Привет!... Как дела?..."));
    std::tie(Label3, Edit3, SpeedButton3, SpeedButton9) =
        createRow(2, QStringLiteral("Юзеры"), QStringLiteral("Иванов, Петров, Сидоров"));
    std::tie(Label4, Edit4, SpeedButton4, SpeedButton10) =
        createRow(3, QStringLiteral("Ввод сообщений"), QStringLiteral("Да пошёл ты..."));

    const int previewWidth = widestText(this, {Edit1->text(), Edit2->text(), Edit3->text(), Edit4->text()}) +
                             kPreviewSlackCharacters * fontMetrics().averageCharWidth();
    for (QLineEdit* preview : previews())
        preview->setFixedWidth(previewWidth);

    SpeedButton5 = createButton(this, 5, QStringLiteral("Ok"));
    SpeedButton5->setDefault(true);
    connect(SpeedButton5, &QPushButton::clicked, this, &QDialog::accept);
    SpeedButton6 = createButton(this, 6, QStringLiteral("Отмена"));
    connect(SpeedButton6, &QPushButton::clicked, this, &QDialog::reject);
}

// A row's buttons carry its number, counted from 0, as their tag: the font buttons are SpeedButton1 to 4,
// the background buttons SpeedButton7 to 10.
TFontConfigDlg::RowControls TFontConfigDlg::createRow(int row, const QString& setName,
                                                      const QString& previewText)
{
    auto* label = named(new QLabel(setName, this), numberedName("Label", row + 1), setName);
    QLineEdit* preview = createPreview(this, row, setName, previewText);
    QToolButton* fontButton =
        createRowButton(this, row + 1, QStringLiteral("Шрифт.."), QStringLiteral("Шрифт: ") + setName);
    connect(fontButton, &QToolButton::clicked, this, [this, row] { chooseFont(row); });
    QToolButton* backgroundButton =
        createRowButton(this, row + 7, QStringLiteral("Фон..."), QStringLiteral("Фон: ") + setName);
    connect(backgroundButton, &QToolButton::clicked, this, [this, row] { chooseBackground(row); });
    return {label, preview, fontButton, backgroundButton};
}

void TFontConfigDlg::createChoosers()
{
    FontDialog1 = new FontChooserDialog(this);
    FontDialog1->setObjectName(QStringLiteral("FontDialog1"));
    FontDialog1->setWindowTitle(QStringLiteral("Шрифт"));
    FontDialog1->setApplyButtonVisible(true);
    connect(FontDialog1, &FontChooserDialog::applied, this, &TFontConfigDlg::showChosenFont);

    ColorDialog1 = new QColorDialog(this);
    ColorDialog1->setObjectName(QStringLiteral("ColorDialog1"));
    ColorDialog1->setWindowTitle(QStringLiteral("Фон"));
}

void TFontConfigDlg::arrangeControls()
{
    auto* rows = new QGridLayout;
    rows->setVerticalSpacing(qRound(kRowSpacingLines * fontMetrics().height()));
    const std::array<QToolButton*, kRows> fontButtons{SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4};
    const std::array<QToolButton*, kRows> backgroundButtons{SpeedButton7, SpeedButton8, SpeedButton9,
                                                            SpeedButton10};
    for (int row = 0; row < kRows; ++row) {
        rows->addWidget(labels()[row], row, 0);
        rows->addWidget(previews()[row], row, 1);
        rows->addWidget(fontButtons[row], row, 2);
        rows->addWidget(backgroundButtons[row], row, 3);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(rows);
    AddDialogFooter(layout, {SpeedButton5, SpeedButton6});
}

void TFontConfigDlg::loadRows()
{
    for (int row = 0; row < kRows; ++row) {
        m_shown[row] = LoadAttributeSet(setName(static_cast<FontRow>(row)), m_shown[row]);
        showRow(row);
    }
}

void TFontConfigDlg::storeRows() const
{
    for (int row = 0; row < kRows; ++row)
        SaveAttributeSet(setName(static_cast<FontRow>(row)), m_shown[row]);
}

void TFontConfigDlg::showRow(int row)
{
    ApplyAttributeSet(previews()[row], m_shown[row]);
}

void TFontConfigDlg::chooseFont(int tag)
{
    m_tag = tag;
    const QLineEdit* preview = previews()[tag];
    FontDialog1->setChosenFont(preview->font());
    FontDialog1->setChosenColor(preview->palette().color(QPalette::Text));
    if (FontDialog1->exec() == QDialog::Accepted)
        showChosenFont();
}

// Also what the chooser's Apply button does, leaving the chooser open.
void TFontConfigDlg::showChosenFont()
{
    m_shown[m_tag] = WithChosenFont(m_shown[m_tag], FontDialog1->chosenFont(), FontDialog1->chosenColor(),
                                    previews()[m_tag]);
    showRow(m_tag);
}

void TFontConfigDlg::chooseBackground(int tag)
{
    QLineEdit* preview = previews()[tag];
    ColorDialog1->setCurrentColor(preview->palette().color(QPalette::Base));
    if (ColorDialog1->exec() != QDialog::Accepted)
        return;
    m_shown[tag] = WithChosenBackground(m_shown[tag], ColorDialog1->selectedColor(), preview);
    showRow(tag);
}

} // namespace kovrel

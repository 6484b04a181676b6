// SPDX-License-Identifier: GPL-3.0-or-later
#include "font_chooser_dialog.h"

#include <algorithm>
#include <cstdlib>
#include <tuple>
#include <utility>

#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include "named_control.h"

namespace kovrel {

namespace {

// Cyrillic first: the chat is Russian, and a face without Cyrillic letters shows it at once.
const QString kSampleText = QStringLiteral("АаБбЯя AaBbYyZz");
constexpr int kMinimumPointSize = 1;
constexpr int kMaximumPointSize = 512;
// The sample keeps this many lines of the dialog's font, whatever the chosen size.
constexpr int kSampleLines = 3;
// Widths of the lists in average characters; longer names are elided.
constexpr int kFamilyCharacters = 26;
constexpr int kStyleCharacters = 20;
constexpr int kSizeCharacters = 4;

QLabel* createLabel(QWidget* parent, const QString& objectName, const QString& caption)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(objectName);
    return label;
}

QListWidget* createList(QWidget* parent, const QString& objectName, const QString& accessibleName,
                        int characters)
{
    auto* list = named(new QListWidget(parent), objectName, accessibleName);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setMinimumWidth(characters * list->fontMetrics().averageCharWidth() +
                          list->verticalScrollBar()->sizeHint().width() + 2 * list->frameWidth());
    return list;
}

QCheckBox* createCheckBox(QWidget* parent, const QString& objectName, const QString& caption)
{
    return named(new QCheckBox(caption, parent), objectName, QString(caption).remove(u'&'));
}

QString currentText(const QListWidget* list)
{
    const QListWidgetItem* item = list->currentItem();
    return item ? item->text() : QString();
}

// -1 when the list does not hold `text`.
int rowOf(const QListWidget* list, const QString& text)
{
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    return found.isEmpty() ? -1 : list->row(found.first());
}

struct Face
{
    int weight;
    bool slanted;
};

// Italic and oblique alike: QFontDatabase::italic() is false for an oblique style.
Face faceOf(const QString& family, const QString& style)
{
    const QFont font = QFontDatabase::font(family, style, kMinimumPointSize); // any size will do
    return {font.weight(), font.style() != QFont::StyleNormal};
}

// Qt lists a family's styles in no useful order. Lighter weights first, upright before slanted, and the
// plain name before its variants ("Bold" before "Condensed Bold").
QStringList sortedStyles(const QString& family)
{
    QStringList styles = QFontDatabase::styles(family);
    const auto key = [&family](const QString& style) {
        const Face face = faceOf(family, style);
        return std::tuple(face.weight, face.slanted, style.size(), style);
    };
    std::sort(styles.begin(), styles.end(),
              [&key](const QString& left, const QString& right) { return key(left) < key(right); });
    return styles;
}

// The row of the style Qt draws `font` with in `family`, so that a change of family keeps the weight and
// slant as far as the new family has them. The drawn face's own style name may be one the list lacks
// (fontconfig calls a face "Condensed Bold Oblique" that Qt lists as "Bold Oblique"); then the nearest
// weight of the same slant.
int styleRowFor(const QListWidget* styles, const QString& family, QFont font)
{
    font.setFamily(family);
    const QFontInfo drawn(font);
    const int byName = rowOf(styles, drawn.styleName());
    if (byName >= 0)
        return byName;
    const auto distance = [&](int row) {
        const Face face = faceOf(family, styles->item(row)->text());
        return std::pair(face.slanted != drawn.italic(), std::abs(face.weight - drawn.weight()));
    };
    int nearest = 0;
    for (int row = 1; row < styles->count(); ++row) {
        if (distance(row) < distance(nearest))
            nearest = row;
    }
    return nearest;
}

QIcon swatch(const QColor& color, const QSize& size, qreal pixelRatio, const QColor& border)
{
    QPixmap pixmap(size * pixelRatio);
    pixmap.setDevicePixelRatio(pixelRatio);
    pixmap.fill(color);
    QPainter painter(&pixmap);
    painter.setPen(border);
    painter.drawRect(QRectF(QPointF(0, 0), QSizeF(size)).adjusted(0.5, 0.5, -0.5, -0.5));
    return QIcon(pixmap);
}

} // namespace

FontChooserDialog::FontChooserDialog(QWidget* parent) : QDialog(parent)
{
    createControls();
    arrangeControls();
    fillFamilies();
    connectControls();
    setChosenFont(font());
    setChosenColor(palette().color(QPalette::Text));
}

std::optional<FontChooserDialog::Choice> FontChooserDialog::getChoice(const Choice& initial, QWidget* parent,
                                                                      const QString& title)
{
    FontChooserDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setChosenFont(initial.font);
    dialog.setChosenColor(initial.color);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return Choice{dialog.chosenFont(), dialog.chosenColor()};
}

void FontChooserDialog::setChosenFont(const QFont& font)
{
    const QFontInfo drawn(font);
    m_wantedStyle = font;
    {
        // The styles are filled below, whether or not the row changes.
        const QSignalBlocker blocker(m_familyList);
        m_familyList->setCurrentRow(std::max(rowOf(m_familyList, drawn.family()), 0));
    }
    fillStyles();
    fillSizes();
    m_sizeSpin->setValue(drawn.pointSize());
    m_underlineBox->setChecked(font.underline());
    m_strikeOutBox->setChecked(font.strikeOut());
    updateFont();
}

void FontChooserDialog::setChosenColor(const QColor& color)
{
    m_color = color;
    updateColorButton();
    updateSample();
}

void FontChooserDialog::setApplyButtonVisible(bool visible)
{
    m_applyButton->setVisible(visible);
}

// The lists are filled while the dialog is hidden, when they cannot yet scroll to their current rows.
void FontChooserDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    for (QListWidget* list : {m_familyList, m_styleList, m_sizeList}) {
        if (QListWidgetItem* item = list->currentItem())
            list->scrollToItem(item, QAbstractItemView::PositionAtCenter);
    }
}

void FontChooserDialog::createControls()
{
    createFaceControls();
    createEffectControls();
    createSample();
    createButtons();
}

void FontChooserDialog::createFaceControls()
{
    m_familyList = createList(this, QStringLiteral("familyList"), QStringLiteral("Шрифт"), kFamilyCharacters);
    m_familyLabel = createLabel(this, QStringLiteral("familyLabel"), QStringLiteral("&Шрифт:"));
    m_familyLabel->setBuddy(m_familyList);

    m_styleList =
        createList(this, QStringLiteral("styleList"), QStringLiteral("Начертание"), kStyleCharacters);
    m_styleLabel = createLabel(this, QStringLiteral("styleLabel"), QStringLiteral("&Начертание:"));
    m_styleLabel->setBuddy(m_styleList);

    m_sizeSpin = named(new QSpinBox(this), QStringLiteral("sizeSpin"), QStringLiteral("Размер"));
    m_sizeSpin->setRange(kMinimumPointSize, kMaximumPointSize);
    m_sizeList = createList(this, QStringLiteral("sizeList"), QStringLiteral("Размеры"), kSizeCharacters);
    m_sizeLabel = createLabel(this, QStringLiteral("sizeLabel"), QStringLiteral("&Размер:"));
    // The size column is only as wide as its widest part.
    const int sizeWidth = std::max(
        {m_sizeSpin->sizeHint().width(), m_sizeList->minimumWidth(), m_sizeLabel->sizeHint().width()});
    m_sizeSpin->setFixedWidth(sizeWidth);
    m_sizeList->setFixedWidth(sizeWidth);
    m_sizeLabel->setBuddy(m_sizeSpin);
}

void FontChooserDialog::createEffectControls()
{
    m_strikeOutBox = createCheckBox(this, QStringLiteral("strikeOutBox"), QStringLiteral("&Зачёркнутый"));
    m_underlineBox = createCheckBox(this, QStringLiteral("underlineBox"), QStringLiteral("&Подчёркнутый"));

    m_colorButton = named(new QToolButton(this), QStringLiteral("colorButton"), QStringLiteral("Цвет"));
    m_colorButton->setToolTip(QStringLiteral("Выбрать цвет"));
    const int swatchHeight = fontMetrics().height();
    m_colorButton->setIconSize(QSize(3 * swatchHeight, swatchHeight));
    m_colorLabel = createLabel(this, QStringLiteral("colorLabel"), QStringLiteral("&Цвет:"));
    m_colorLabel->setBuddy(m_colorButton);
}

void FontChooserDialog::createSample()
{
    m_sample = named(new QLabel(kSampleText, this), QStringLiteral("sample"), QStringLiteral("Образец"));
    m_sample->setAlignment(Qt::AlignCenter);
    // Drawn like the chat's own text: text colour on the base colour.
    m_sample->setForegroundRole(QPalette::Text);
    m_sample->setBackgroundRole(QPalette::Base);
    m_sample->setAutoFillBackground(true);
    m_sample->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    // A large size is clipped rather than resizing the dialog.
    m_sample->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    m_sample->setMinimumHeight(kSampleLines * fontMetrics().height());
}

void FontChooserDialog::createButtons()
{
    m_buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    m_buttons->setObjectName(QStringLiteral("buttonBox"));
    m_buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    m_buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    m_applyButton = m_buttons->button(QDialogButtonBox::Apply);
    m_applyButton->setObjectName(QStringLiteral("applyButton"));
    m_applyButton->setText(QStringLiteral("При&менить"));
    m_applyButton->hide();
}

QGroupBox* FontChooserDialog::createEffectsGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Видоизменение"), this);
    group->setObjectName(QStringLiteral("effectsGroup"));
    auto* colorRow = new QHBoxLayout;
    colorRow->addWidget(m_colorLabel);
    colorRow->addWidget(m_colorButton);
    colorRow->addStretch();

    auto* layout = new QVBoxLayout(group);
    layout->addWidget(m_strikeOutBox);
    layout->addWidget(m_underlineBox);
    layout->addLayout(colorRow);
    layout->addStretch();
    return group;
}

QGroupBox* FontChooserDialog::createSampleGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Образец"), this);
    group->setObjectName(QStringLiteral("sampleGroup"));
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(m_sample);
    return group;
}

// Face, style and size side by side as in the usual font dialogs, the size column with its spin box above
// the list of the sizes the face offers; below them the effects beside the sample, which takes the width
// that is left.
void FontChooserDialog::arrangeControls()
{
    auto* lists = new QGridLayout;
    lists->addWidget(m_familyLabel, 0, 0);
    lists->addWidget(m_styleLabel, 0, 1);
    lists->addWidget(m_sizeLabel, 0, 2);
    lists->addWidget(m_familyList, 1, 0, 2, 1);
    lists->addWidget(m_styleList, 1, 1, 2, 1);
    lists->addWidget(m_sizeSpin, 1, 2);
    lists->addWidget(m_sizeList, 2, 2);
    lists->setColumnStretch(0, 3);
    lists->setColumnStretch(1, 2);

    auto* effects = new QHBoxLayout;
    effects->addWidget(createEffectsGroup());
    effects->addWidget(createSampleGroup(), 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(lists, 1);
    layout->addLayout(effects);
    layout->addWidget(m_buttons);
}

void FontChooserDialog::connectControls()
{
    connect(m_familyList, &QListWidget::currentRowChanged, this, &FontChooserDialog::changeFamily);
    connect(m_styleList, &QListWidget::currentRowChanged, this, &FontChooserDialog::changeStyle);
    connect(m_sizeSpin, &QSpinBox::valueChanged, this, [this](int size) {
        showSizeInList(size);
        updateFont();
    });
    connect(m_sizeList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            m_sizeSpin->setValue(m_sizeList->item(row)->text().toInt());
    });
    connect(m_strikeOutBox, &QCheckBox::toggled, this, &FontChooserDialog::updateFont);
    connect(m_underlineBox, &QCheckBox::toggled, this, &FontChooserDialog::updateFont);
    connect(m_colorButton, &QToolButton::clicked, this, &FontChooserDialog::chooseColor);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_applyButton, &QPushButton::clicked, this, &FontChooserDialog::applied);
}

void FontChooserDialog::fillFamilies()
{
    for (const QString& family : QFontDatabase::families()) {
        if (!QFontDatabase::isPrivateFamily(family))
            m_familyList->addItem(family);
    }
}

// Quietly, as it is no choice of the user's; the caller goes on with the sizes, which depend on the style.
void FontChooserDialog::fillStyles()
{
    const QString family = currentText(m_familyList);
    const QSignalBlocker blocker(m_styleList);
    m_styleList->clear();
    m_styleList->addItems(sortedStyles(family));
    m_styleList->setCurrentRow(styleRowFor(m_styleList, family, m_wantedStyle));
}

// A scalable face offers the standard sizes; the spin box takes any size in its range all the same.
void FontChooserDialog::fillSizes()
{
    m_sizeList->clear();
    for (const int size : QFontDatabase::pointSizes(currentText(m_familyList), currentText(m_styleList)))
        m_sizeList->addItem(QString::number(size));
    showSizeInList(m_sizeSpin->value());
}

void FontChooserDialog::changeFamily()
{
    fillStyles();
    fillSizes();
    updateFont();
}

void FontChooserDialog::changeStyle()
{
    fillSizes();
    updateFont();
    m_wantedStyle = m_font;
}

void FontChooserDialog::showSizeInList(int size)
{
    m_sizeList->setCurrentRow(rowOf(m_sizeList, QString::number(size)));
}

void FontChooserDialog::chooseColor()
{
    const QColor color = QColorDialog::getColor(m_color, this, QStringLiteral("Цвет"));
    if (color.isValid())
        setChosenColor(color);
}

void FontChooserDialog::updateFont()
{
    m_font = QFontDatabase::font(currentText(m_familyList), currentText(m_styleList), m_sizeSpin->value());
    m_font.setUnderline(m_underlineBox->isChecked());
    m_font.setStrikeOut(m_strikeOutBox->isChecked());
    updateSample();
}

void FontChooserDialog::updateColorButton()
{
    m_colorButton->setIcon(
        swatch(m_color, m_colorButton->iconSize(), devicePixelRatioF(), palette().color(QPalette::Dark)));
    m_colorButton->setAccessibleDescription(m_color.name());
}

void FontChooserDialog::updateSample()
{
    m_sample->setFont(m_font);
    QPalette palette = m_sample->palette();
    palette.setColor(QPalette::Text, m_color);
    m_sample->setPalette(palette);
}

} // namespace kovrel

// SPDX-License-Identifier: GPL-3.0-or-later
#include "macros_form.h"

#include <algorithm>

#include <QDebug>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "hot_keys.h"
#include "macros_dlg.h"

namespace kovrel {

namespace {

using namespace Qt::Literals::StringLiterals;

constexpr int kHotKeyColumn = 0;
constexpr int kTextColumn = 1;
constexpr int kHotKeyColumnWidth = 80;
constexpr int kTextColumnWidth = 300;
constexpr QSize kViewSize(391, 306);
constexpr int kHotTrackingAlpha = 48;

// Draws what a report view of the desktop shows and Qt's item views do not: grid lines between the cells
// and, for hot tracking, a tint over the row under the mouse.
class ReportRowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (option.state.testFlag(QStyle::State_MouseOver) && !option.state.testFlag(QStyle::State_Selected))
            painter->fillRect(option.rect, hotTrackingTint(option.palette));
        QStyledItemDelegate::paint(painter, option, index);
        drawGridLines(painter, option);
    }

private:
    static QColor hotTrackingTint(const QPalette& palette)
    {
        QColor tint = palette.color(QPalette::Highlight);
        tint.setAlpha(kHotTrackingAlpha);
        return tint;
    }

    static void drawGridLines(QPainter* painter, const QStyleOptionViewItem& option)
    {
        const QStyle* style = option.widget->style();
        const auto color =
            static_cast<QRgb>(style->styleHint(QStyle::SH_Table_GridLineColor, &option, option.widget));
        painter->save();
        painter->setPen(QColor::fromRgba(color));
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->restore();
    }
};

// The default width, or the longest hot key text if the font at hand needs more.
int hotKeyColumnWidth(const QTreeWidget* view)
{
    int widest = 0;
    for (const QString& hotKey : HotKeyTexts())
        widest = std::max(widest, view->fontMetrics().horizontalAdvance(hotKey));
    const int textMargin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    return std::max(kHotKeyColumnWidth, widest + 2 * textMargin + 1); // and the grid line
}

// The hot key column fits every hot key text; the messages take what it leaves, so that the rows never
// scroll sideways, and the view is wide enough to give them their default width.
void arrangeColumns(QTreeWidget* view)
{
    const int hotKeyWidth = hotKeyColumnWidth(view);
    view->setColumnWidth(kHotKeyColumn, hotKeyWidth);
    view->header()->setSectionResizeMode(kTextColumn, QHeaderView::Stretch);
    view->header()->setSectionsMovable(false);
    const int columnsWidth = hotKeyWidth + kTextColumnWidth + 2 * view->frameWidth();
    view->setMinimumSize(std::max(kViewSize.width(), columnsWidth), kViewSize.height());
}

QTreeWidget* createReportView(QWidget* parent)
{
    auto* view = new QTreeWidget(parent);
    view->setObjectName(u"MacrosView"_s);
    view->setAccessibleName(u"Макросы"_s);
    view->setHeaderLabels({u"Клавиша"_s, u"Сообщение"_s});
    arrangeColumns(view);
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setMouseTracking(true);
    view->viewport()->setAttribute(Qt::WA_Hover);
    view->setItemDelegate(new ReportRowDelegate(view));
    return view;
}

} // namespace

TMacrosForm::TMacrosForm(QWidget* parent) : QDialog(parent), m_entryDialog(new TMacrosDlg(this))
{
    setWindowTitle(u"Макросы"_s);
    createControls();
    arrangeControls();
    centreOnScreen();
    LoadMacros();
}

TMacrosForm::~TMacrosForm()
{
    try {
        SaveMacros();
    } catch (const std::exception& error) {
        qWarning().noquote() << "The macros were not saved:" << error.what();
    }
}

bool TMacrosForm::ExecuteMacroList()
{
    m_chosenText.clear();
    MacrosView->setFocus();
    return exec() == QDialog::Accepted;
}

QString TMacrosForm::FindMacro(int key, Qt::KeyboardModifiers modifiers) const
{
    return kovrel::FindMacro(macros(), key, modifiers);
}

void TMacrosForm::createControls()
{
    MacrosView = createReportView(this);
    connect(MacrosView, &QTreeWidget::itemDoubleClicked, this, &TMacrosForm::Button1Click);
    Button1 = createButton(u"Button1"_s, u"Выбрать"_s);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TMacrosForm::Button1Click);
    Button2 = createButton(u"Button2"_s, u"Добавить"_s);
    connect(Button2, &QPushButton::clicked, this, &TMacrosForm::Button2Click);
    Button3 = createButton(u"Button3"_s, u"Изменить"_s);
    connect(Button3, &QPushButton::clicked, this, &TMacrosForm::Button3Click);
    Button4 = createButton(u"Button4"_s, u"Грохнуть"_s);
    connect(Button4, &QPushButton::clicked, this, &TMacrosForm::Button4Click);
    Button5 = createButton(u"Button5"_s, u"Закрыть"_s);
    connect(Button5, &QPushButton::clicked, this, &QDialog::reject);
}

QPushButton* TMacrosForm::createButton(const QString& objectName, const QString& caption)
{
    auto* button = new QPushButton(caption, this);
    button->setObjectName(objectName);
    return button;
}

// The list on the left, the column of buttons at its top right.
void TMacrosForm::arrangeControls()
{
    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {Button1, Button2, Button3, Button4, Button5})
        buttons->addWidget(button);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(MacrosView);
    layout->addLayout(buttons);
}

void TMacrosForm::centreOnScreen()
{
    QRect area(QPoint(), sizeHint());
    area.moveCenter(screen()->availableGeometry().center());
    move(area.topLeft());
}

// The rows come in the order the store lists the macros.
void TMacrosForm::LoadMacros()
{
    MacrosView->clear();
    for (const Macro& macro : ReadMacros())
        appendRow(macro);
}

void TMacrosForm::SaveMacros()
{
    WriteMacros(macros());
}

QList<Macro> TMacrosForm::macros() const
{
    QList<Macro> macros;
    for (int index = 0; index < MacrosView->topLevelItemCount(); ++index)
        macros.append(macroOf(MacrosView->topLevelItem(index)));
    return macros;
}

void TMacrosForm::appendRow(const Macro& macro)
{
    showMacro(new QTreeWidgetItem(MacrosView), macro);
}

// A message too long for its column is shown whole in the row's tip.
void TMacrosForm::showMacro(QTreeWidgetItem* row, const Macro& macro)
{
    row->setText(kHotKeyColumn, macro.hotKey);
    row->setText(kTextColumn, macro.text);
    row->setToolTip(kTextColumn, macro.text);
}

Macro TMacrosForm::macroOf(const QTreeWidgetItem* row)
{
    return {row->text(kHotKeyColumn), row->text(kTextColumn)};
}

QTreeWidgetItem* TMacrosForm::selectedRow() const
{
    const QList<QTreeWidgetItem*> rows = MacrosView->selectedItems();
    return rows.isEmpty() ? nullptr : rows.first();
}

// A hot key is bound to one macro at most: one that another row than `editedRow` has is refused.
bool TMacrosForm::refuseTakenHotKey(const QString& hotKey, const QTreeWidgetItem* editedRow)
{
    const QList<QTreeWidgetItem*> holders =
        MacrosView->findItems(hotKey, Qt::MatchExactly | Qt::MatchCaseSensitive, kHotKeyColumn);
    if (std::ranges::all_of(holders, [editedRow](const QTreeWidgetItem* row) { return row == editedRow; }))
        return false;
    QMessageBox::warning(this, u"Kovrel"_s,
                         u"Такая комбинация клавишь: "_s + hotKey + u" уже задействована..."_s);
    return true;
}

// "Выбрать", or a double click on a row.
void TMacrosForm::Button1Click()
{
    if (const QTreeWidgetItem* row = selectedRow()) {
        m_chosenText = macroOf(row).text;
        accept();
    }
}

// "Добавить". Like every confirmed change, the new row is stored at once.
void TMacrosForm::Button2Click()
{
    m_entryDialog->setNewMacroMode(true);
    if (!m_entryDialog->ExecuteMacroEntry())
        return;
    const Macro macro = m_entryDialog->enteredMacro();
    if (refuseTakenHotKey(macro.hotKey, nullptr))
        return;
    appendRow(macro);
    SaveMacros();
}

// "Изменить".
void TMacrosForm::Button3Click()
{
    QTreeWidgetItem* row = selectedRow();
    if (!row)
        return;
    m_entryDialog->presetMacro(macroOf(row));
    if (!m_entryDialog->ExecuteMacroEntry())
        return;
    const Macro macro = m_entryDialog->enteredMacro();
    if (refuseTakenHotKey(macro.hotKey, row))
        return;
    showMacro(row, macro);
    SaveMacros();
}

// "Грохнуть".
void TMacrosForm::Button4Click()
{
    QTreeWidgetItem* row = selectedRow();
    if (!row)
        return;
    if (QMessageBox::question(this, u"Kovrel"_s, u"Вы уверены в том, что хотите удалить данный макрос?"_s) !=
        QMessageBox::Yes)
        return;
    delete row;
    SaveMacros();
}

} // namespace kovrel

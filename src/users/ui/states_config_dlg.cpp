// SPDX-License-Identifier: GPL-3.0-or-later
#include "states_config_dlg.h"

#include "dialog_footer.h"
#include "settings_layout.h"

#include <algorithm>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kovrel {

namespace {

constexpr QSize kDefaultSize(329, 186);
constexpr int kColumnWidth = 100;
constexpr int kRowCount = static_cast<int>(kStatePictureRowPositions.size());
// The side of the picture dialog's preview, in pixels.
constexpr int kPreviewSide = 64;

const QString kPictureFilters =
    QStringLiteral("Картинки (*.png *.svg *.bmp *.ico);;PNG (*.png);;SVG (*.svg);;"
                   "Bitmaps (*.bmp);;Icons (*.ico)");

// The picture under the cursor, as it would be read, or nothing for a file that is no picture.
void showPreview(QLabel& preview, const QString& path)
{
    const qreal ratio = preview.devicePixelRatioF();
    QPixmap picture = QPixmap::fromImage(StatePicturePreview(path, qRound(kPreviewSide * ratio)));
    picture.setDevicePixelRatio(ratio);
    preview.setPixmap(picture);
}

// A preview label beside the file list of the widget-based file dialog.
void addPreview(QFileDialog& dialog)
{
    auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
    Q_ASSERT(grid);
    auto* preview = new QLabel(&dialog);
    preview->setObjectName(QStringLiteral("PicturePreview"));
    preview->setAccessibleName(QStringLiteral("Просмотр картинки"));
    preview->setAlignment(Qt::AlignCenter);
    preview->setFrameShape(QFrame::StyledPanel);
    const int frame = 2 * preview->frameWidth();
    preview->setFixedSize(kPreviewSide + frame, kPreviewSide + frame);
    // The list sits in the grid's second row, across its columns; the preview takes a column after them.
    grid->addWidget(preview, 1, grid->columnCount(), Qt::AlignTop);
    QObject::connect(&dialog, &QFileDialog::currentChanged, preview,
                     [preview](const QString& path) { showPreview(*preview, path); });
}

QAction* addNamedAction(QMenu* menu, const char* name, const QString& caption)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

QPushButton* createButton(QWidget* parent, const char* name, const QString& caption)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAccessibleName(caption);
    return button;
}

// A row's picture, plain (column 1) or incoming (column 2), in the dialog's picture order.
int positionOf(int row, int column)
{
    const StatePictureRow& shown = kStatePictureRowPositions[static_cast<std::size_t>(row)];
    return column == 1 ? shown.plain : shown.incoming;
}

StatePicture storedPictureOf(int column)
{
    return column == 1 ? StatePicture::Plain : StatePicture::Incoming;
}

} // namespace

TStatesConfigDlg::TStatesConfigDlg(kovrel::StateImageList& pictures, QWidget* parent)
    : QDialog(parent), m_pictures(pictures), m_working(pictures.pictures())
{
    setObjectName(QStringLiteral("StatesConfigDlg"));
    setWindowTitle(QStringLiteral("Конфигурация состояний"));
    createControls();
    createMenu();
    arrangeControls();
}

void TStatesConfigDlg::createControls()
{
    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setAccessibleName(QStringLiteral("Состояния"));
    ListView1->setHeaderLabels(
        {QStringLiteral("Состояние"), QStringLiteral("Картинка"), QStringLiteral("Входящая картинка")});
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setMouseTracking(true);
    ListView1->setIconSize(QSize(kStatePictureSize, kStatePictureSize));
    ListView1->setTextElideMode(Qt::ElideLeft);
    ListView1->header()->setSectionsClickable(false);
    // The default width, or wider where a caption needs it.
    for (int column = 0; column < ListView1->columnCount(); ++column) {
        ListView1->setColumnWidth(column,
                                  std::max(kColumnWidth, ListView1->header()->sectionSizeHint(column)));
    }
    for (const StatePictureRow& row : kStatePictureRowPositions) {
        new QTreeWidgetItem(ListView1, {row.caption.toString()});
    }
    ListView1->setCurrentItem(ListView1->topLevelItem(0));

    SpeedButton5 = createButton(this, "SpeedButton5", QStringLiteral("Ok"));
    SpeedButton5->setDefault(true);
    connect(SpeedButton5, &QPushButton::clicked, this, &TStatesConfigDlg::SpeedButton5Click);
    SpeedButton6 = createButton(this, "SpeedButton6", QStringLiteral("Отмена"));
    connect(SpeedButton6, &QPushButton::clicked, this, &QDialog::reject);
}

void TStatesConfigDlg::createMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    connect(addNamedAction(PopupMenu1, "SelectPicture1", QStringLiteral("Выбрать картинку")),
            &QAction::triggered, this, &TStatesConfigDlg::SelectPicture1Click);
    connect(
        addNamedAction(PopupMenu1, "SelectIncommingPicture1", QStringLiteral("Выбрать входящую картинку")),
        &QAction::triggered, this, &TStatesConfigDlg::SelectIncommingPicture1Click);
    PopupMenu1->addSeparator();
    connect(addNamedAction(PopupMenu1, "ResetDefault1", QStringLiteral("Вернуть по умолчанию")),
            &QAction::triggered, this, &TStatesConfigDlg::ResetDefault1Click);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(ListView1->viewport()->mapToGlobal(at)); });
}

void TStatesConfigDlg::arrangeControls()
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ListView1, 1);
    AddDialogFooter(layout, {SpeedButton5, SpeedButton6});
    // Wide enough to show the three captions whole.
    const int columnsWidth = ListView1->header()->length() + 2 * ListView1->frameWidth();
    const QMargins margins = layout->contentsMargins();
    resize(kDefaultSize.expandedTo(minimumSizeHint())
               .expandedTo(QSize(columnsWidth + margins.left() + margins.right(), 0)));
}

bool TStatesConfigDlg::ExecuteStatesDialog(const QWidget& roster)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ListView1->setFont(roster.font());
    QPalette colors = ListView1->palette();
    colors.setColor(QPalette::Base, roster.palette().color(QPalette::Base));
    colors.setColor(QPalette::Text, roster.palette().color(QPalette::Text));
    ListView1->setPalette(colors);
    m_working = m_pictures.pictures();
    loadRows();
    QApplication::restoreOverrideCursor();
    // Centred on the screen.
    move(screen()->availableGeometry().center() - rect().center());
    return exec() == QDialog::Accepted;
}

void TStatesConfigDlg::loadRows()
{
    for (int row = 0; row < kRowCount; ++row) {
        const QStringView caption = kStatePictureRowPositions[static_cast<std::size_t>(row)].caption;
        m_paths[row] = {ReadStatePicture(caption, StatePicture::Plain),
                        ReadStatePicture(caption, StatePicture::Incoming)};
        showRow(row);
    }
}

// Each picture beside the path it comes from; the whole path shows as the tooltip.
void TStatesConfigDlg::showRow(int row)
{
    QTreeWidgetItem* item = ListView1->topLevelItem(row);
    for (const int column : {1, 2}) {
        const QString& path = m_paths[row][column - 1];
        item->setIcon(column, m_working[static_cast<std::size_t>(positionOf(row, column))]);
        item->setText(column, path);
        item->setToolTip(column, path);
    }
}

std::optional<int> TStatesConfigDlg::selectedRow() const
{
    QTreeWidgetItem* item = ListView1->currentItem();
    if (!item || !item->isSelected()) {
        return std::nullopt;
    }
    return ListView1->indexOfTopLevelItem(item);
}

// The picture dialog opens in the folder of the row's file; a new one each time, so that no earlier choice
// lingers in it. It is Qt's own widget-based dialog on every platform, so that it can hold the preview.
std::optional<QString> TStatesConfigDlg::askForPicture(const QString& current)
{
    QFileDialog OpenPictureDialog1(this, QStringLiteral("Картинка"), QString(), kPictureFilters);
    OpenPictureDialog1.setObjectName(QStringLiteral("OpenPictureDialog1"));
    OpenPictureDialog1.setFileMode(QFileDialog::ExistingFile);
    OpenPictureDialog1.setOption(QFileDialog::ReadOnly);
    OpenPictureDialog1.setOption(QFileDialog::DontUseNativeDialog);
    // Its list matches the filter's extensions in any letter case ("LAMP.PNG", "Lamp.Png").
    OpenPictureDialog1.setFilter(OpenPictureDialog1.filter() & ~QDir::CaseSensitive);
    addPreview(OpenPictureDialog1);
    if (!current.isEmpty()) {
        OpenPictureDialog1.setDirectory(QFileInfo(current).absolutePath());
    }
    if (OpenPictureDialog1.exec() != QDialog::Accepted || OpenPictureDialog1.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return OpenPictureDialog1.selectedFiles().front();
}

// A file that is no picture leaves the row as it was and says why.
void TStatesConfigDlg::choosePicture(Column which)
{
    const std::optional<int> row = selectedRow();
    if (!row) {
        return;
    }
    const int column = static_cast<int>(which);
    QString& path = m_paths[*row][column - 1];
    const std::optional<QString> chosen = askForPicture(path);
    if (!chosen) {
        return;
    }
    const LoadedPicture loaded = LoadStatePicture(*chosen);
    if (!loaded.picture) {
        QMessageBox::warning(this, QStringLiteral("Kovrel"),
                             QStringLiteral("Картинка не загружена:\n") + loaded.error);
        return;
    }
    m_working[static_cast<std::size_t>(positionOf(*row, column))] = *loaded.picture;
    path = *chosen;
    showRow(*row);
}

void TStatesConfigDlg::ResetDefault1Click()
{
    const std::optional<int> row = selectedRow();
    if (!row) {
        return;
    }
    const StatePictureSet builtIn = BuiltInStatePictures();
    for (const int column : {1, 2}) {
        const auto position = static_cast<std::size_t>(positionOf(*row, column));
        m_working[position] = builtIn[position];
        m_paths[*row][column - 1].clear();
    }
    showRow(*row);
}

void TStatesConfigDlg::SpeedButton5Click()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        for (int row = 0; row < kRowCount; ++row) {
            const QStringView caption = kStatePictureRowPositions[static_cast<std::size_t>(row)].caption;
            for (const int column : {1, 2}) {
                WriteStatePicture(caption, storedPictureOf(column), m_paths[row][column - 1]);
            }
        }
    } catch (...) {
        QApplication::restoreOverrideCursor();
        throw;
    }
    m_pictures.assign(m_working);
    QApplication::restoreOverrideCursor();
    accept();
}

} // namespace kovrel

// The menus of the main window, the view and configuration options, and window-level events.

#include "chat_main_form.h"

#include "connect_dialog.h"
#include "settings_layout.h"

#include <algorithm>
#include <array>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

namespace kovrel {

namespace {

QAction* addCheckItem(QMenu* menu, const QString& caption, QActionGroup* group = nullptr)
{
    QAction* item = menu->addAction(caption);
    item->setCheckable(true);
    if (group) {
        group->addAction(item);
    }
    return item;
}

// Every caption the log-in button shows: before the first log-in, online, after a log-out, after a loss.
const QString kLoginCaptions[] = {QStringLiteral("Вход"), QStringLiteral("выход"), QStringLiteral("вход"),
                                  QStringLiteral("Connect")};

// Items whose windows come with later features of the client: present, but not yet usable.
void addPendingItem(QMenu* menu, const QString& caption)
{
    menu->addAction(caption)->setEnabled(false);
}

} // namespace

void TChatMainForm::createMenus()
{
    SendMenu = new QMenu(this);
    SendMenu->addAction(QStringLiteral("Послать"), this, &TChatMainForm::Button2Click);
    SendMenu->addAction(QStringLiteral("Файл..."))->setVisible(false);
    addPendingItem(SendMenu, QStringLiteral("Улучшенное"));
    ToolButton2->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ToolButton2, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { SendMenu->popup(ToolButton2->mapToGlobal(at)); });

    LogMenu = new QMenu(this);
    addPendingItem(LogMenu, QStringLiteral("Загрузить"));
    addPendingItem(LogMenu, QStringLiteral("Сохранить"));
    ToolButton5->setMenu(LogMenu);
    ToolButton5->setPopupMode(QToolButton::InstantPopup);

    PrivateMenu = new QMenu(this);
    ClosePrivate1 =
        PrivateMenu->addAction(QStringLiteral("Закрыть приват"), this, &TChatMainForm::ToolButton4Click);
    ClosePrivateSeparator = PrivateMenu->addSeparator();
    addPendingItem(PrivateMenu, QStringLiteral("Загрузить лог"));
    addPendingItem(PrivateMenu, QStringLiteral("Сохранить лог"));
    PrivateMenu->addSeparator();
    PrivateMenu->addAction(QStringLiteral("Очистить окно"), this, &TChatMainForm::ToolButton3Click);
    connect(PrivateMenu, &QMenu::aboutToShow, this, &TChatMainForm::PrivateMenuPopup);
    connect(PageControl1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PrivateMenu->popup(PageControl1->mapToGlobal(at)); });

    createConfigurationMenu();
    createUserMenu();
}

void TChatMainForm::createConfigurationMenu()
{
    ConfMenu = new QMenu(this);
    QMenu* View1 = ConfMenu->addMenu(QStringLiteral("Вид"));
    BeeponPublic1 = addCheckItem(View1, QStringLiteral("Звук в Общем"));
    BeeponPrivate1 = addCheckItem(View1, QStringLiteral("Звук в Личном"));
    View1->addSeparator();
    ShowTime1 = addCheckItem(View1, QStringLiteral("Показывать время"));
    View1->addSeparator();
    auto* scrolling = new QActionGroup(View1);
    ScrollUpToDown1 = addCheckItem(View1, QStringLiteral("Прокрутка сверху вниз"), scrolling);
    ScrollDownToUp1 = addCheckItem(View1, QStringLiteral("Прокрутка снизу вверх"), scrolling);
    View1->addSeparator();
    QMenu* ToolBar2 = View1->addMenu(QStringLiteral("Панель инструментов"));
    List1 = addCheckItem(ToolBar2, QStringLiteral("Список"));
    ShowCaption1 = addCheckItem(ToolBar2, QStringLiteral("Название кнопок"));
    ToolBar2->addSeparator();
    auto* sides = new QActionGroup(ToolBar2);
    Top1 = addCheckItem(ToolBar2, QStringLiteral("Панель сверху"), sides);
    Left1 = addCheckItem(ToolBar2, QStringLiteral("Панель слева"), sides);
    Right1 = addCheckItem(ToolBar2, QStringLiteral("Панель справа"), sides);
    Bottom1 = addCheckItem(ToolBar2, QStringLiteral("Панель снизу"), sides);
    Top1->setChecked(true);
    MessageEditor1 = addCheckItem(View1, QStringLiteral("Редактор сообщений"));
    QMenu* Config1 = ConfMenu->addMenu(QStringLiteral("Конфигурация"));
    Startup1 = addCheckItem(Config1, QStringLiteral("Автозагрузка"));
    StartonRun1 = addCheckItem(Config1, QStringLiteral("Автовход"));
    Connect1 = Config1->addAction(QStringLiteral("Сервер"), this, &TChatMainForm::Connect1Click);
    addPendingItem(Config1, QStringLiteral("Информация"));
    ConfMenu->addSeparator();
    addPendingItem(ConfMenu, QStringLiteral("Макросы"));
    addPendingItem(ConfMenu, QStringLiteral("Шрифты"));
    addPendingItem(ConfMenu, QStringLiteral("Состояния"));
    ConfMenu->addSeparator();
    addPendingItem(ConfMenu, QStringLiteral("О программе"));
    ToolButton6->setMenu(ConfMenu);
    ToolButton6->setPopupMode(QToolButton::InstantPopup);

    connect(BeeponPublic1, &QAction::triggered, this,
            [this] { toggleOption(BeeponPublic1, ConfigFlag::BeepOnPublic); });
    connect(BeeponPrivate1, &QAction::triggered, this,
            [this] { toggleOption(BeeponPrivate1, ConfigFlag::BeepOnPrivate); });
    connect(ShowTime1, &QAction::triggered, this, [this] { toggleOption(ShowTime1, ConfigFlag::ShowTime); });
    connect(ScrollUpToDown1, &QAction::triggered, this,
            [] { WriteConfigFlag(ConfigFlag::FromUpToDown, true); });
    connect(ScrollDownToUp1, &QAction::triggered, this,
            [] { WriteConfigFlag(ConfigFlag::FromUpToDown, false); });
    connect(List1, &QAction::triggered, this, &TChatMainForm::List1Click);
    connect(ShowCaption1, &QAction::triggered, this, &TChatMainForm::ShowCaption1Click);
    for (int align = 1; align <= 4; ++align) {
        connect(toolBarItem(align), &QAction::triggered, this, [this, align] { placeToolBar(align); });
    }
    connect(MessageEditor1, &QAction::triggered, this, &TChatMainForm::MessageEditor1Click);
    connect(Startup1, &QAction::triggered, this, &TChatMainForm::Startup1Click);
    connect(StartonRun1, &QAction::triggered, this, &TChatMainForm::StartonRun1Click);
}

void TChatMainForm::toggleOption(QAction* item, ConfigFlag flag)
{
    item->setChecked(ToggleConfigFlag(flag));
}

void TChatMainForm::applyToolBarStyle()
{
    if (!ShowCaption1->isChecked()) {
        ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    } else {
        ToolBar1->setToolButtonStyle(List1->isChecked() ? Qt::ToolButtonTextBesideIcon
                                                        : Qt::ToolButtonTextUnderIcon);
    }
    // The log-in button changes its caption with the connection; room for the longest keeps the bar still.
    const QString shown = ToolButton1->text();
    int width = 0;
    for (const QString& caption : kLoginCaptions) {
        ToolButton1->setText(caption);
        width = std::max(width, ToolButton1->sizeHint().width());
    }
    ToolButton1->setText(shown);
    ToolButton1->setMinimumWidth(width);
}

void TChatMainForm::List1Click()
{
    toggleOption(List1, ConfigFlag::ListButton);
    applyToolBarStyle();
}

void TChatMainForm::ShowCaption1Click()
{
    toggleOption(ShowCaption1, ConfigFlag::ShowCaption);
    applyToolBarStyle();
}

QAction* TChatMainForm::toolBarItem(int align) const
{
    const std::array<QAction*, 4> items = {Top1, Bottom1, Left1, Right1};
    return items.at(static_cast<std::size_t>(align - 1));
}

void TChatMainForm::placeToolBar(int align)
{
    static constexpr std::array<Qt::ToolBarArea, 4> kAreas = {Qt::TopToolBarArea, Qt::BottomToolBarArea,
                                                              Qt::LeftToolBarArea, Qt::RightToolBarArea};
    toolBarItem(align)->setChecked(true);
    addToolBar(kAreas.at(static_cast<std::size_t>(align - 1)), ToolBar1);
    WriteToolsAlign(align);
}

void TChatMainForm::Startup1Click()
{
    Startup1->setChecked(ToggleAutostart(QApplication::applicationFilePath()));
}

void TChatMainForm::StartonRun1Click()
{
    toggleOption(StartonRun1, ConfigFlag::StartOnRun);
    m_session->setAutoLogin(StartonRun1->isChecked());
}

void TChatMainForm::Connect1Click()
{
    const QString caption = ConnectDialog->connectButton()->text();
    ConnectDialog->connectButton()->setText(QStringLiteral("Применить"));
    ConnectDialog->ExecuteConnectDialog();
    ConnectDialog->connectButton()->setText(caption);
}

void TChatMainForm::closeEvent(QCloseEvent* event)
{
    if (m_session->isConnected()) {
        Button1Click();
    }
    event->accept();
}

void TChatMainForm::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::WindowStateChange) {
        IsMinimized = isMinimized();
    }
    QMainWindow::changeEvent(event);
}

} // namespace kovrel

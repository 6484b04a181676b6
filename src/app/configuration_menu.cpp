// SPDX-License-Identifier: GPL-3.0-or-later
#include "configuration_menu.h"

#include "autostart.h"
#include "chat_client.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>

namespace kovrel {

ConfigurationMenu::ConfigurationMenu(ChatClient& client, QWidget* parent) : QMenu(parent), m_client(client)
{
    setObjectName(QStringLiteral("ConfMenu"));
    createViewMenu();
    createConfigMenu();
    addSeparator();
    connect(addItem(this, "Macros1", QStringLiteral("Макросы")), &QAction::triggered, this,
            &ConfigurationMenu::macrosRequested);
    connect(addItem(this, "Fonts1", QStringLiteral("Шрифты")), &QAction::triggered, this,
            &ConfigurationMenu::fontsRequested);
    connect(addItem(this, "States1", QStringLiteral("Состояния")), &QAction::triggered, this,
            &ConfigurationMenu::statesRequested);
    addSeparator();
    connect(addItem(this, "About1", QStringLiteral("О программе")), &QAction::triggered, this,
            &ConfigurationMenu::aboutRequested);
}

template <typename Handler> void ConfigurationMenu::handle(Handler handler)
{
    m_client.reportingErrors(QString::fromLatin1(metaObject()->className()), handler);
}

QAction* ConfigurationMenu::addItem(QMenu* menu, const char* name, const QString& caption)
{
    QAction* item = menu->addAction(caption);
    item->setObjectName(QLatin1String(name));
    return item;
}

QAction* ConfigurationMenu::addOption(QMenu* menu, const char* name, const QString& caption, ConfigFlag flag)
{
    QAction* item = addItem(menu, name, caption);
    item->setCheckable(true);
    connect(item, &QAction::triggered, this, [this, item, flag] { handle([&] { toggle(item, flag); }); });
    return item;
}

QAction* ConfigurationMenu::addRadioItem(QMenu* menu, const char* name, const QString& caption,
                                         QActionGroup* group)
{
    QAction* item = addItem(menu, name, caption);
    item->setCheckable(true);
    group->addAction(item);
    return item;
}

void ConfigurationMenu::toggle(QAction* item, ConfigFlag flag)
{
    item->setChecked(ToggleConfigFlag(flag));
}

void ConfigurationMenu::createViewMenu()
{
    QMenu* View1 = addMenu(QStringLiteral("Вид"));
    View1->setObjectName(QStringLiteral("View1"));
    BeeponPublic1 =
        addOption(View1, "BeeponPublic1", QStringLiteral("Звук в Общем"), ConfigFlag::BeepOnPublic);
    BeeponPrivate1 =
        addOption(View1, "BeeponPrivate1", QStringLiteral("Звук в Личном"), ConfigFlag::BeepOnPrivate);
    View1->addSeparator();
    ShowTime1 = addOption(View1, "ShowTime1", QStringLiteral("Показывать время"), ConfigFlag::ShowTime);
    View1->addSeparator();
    auto* scrolling = new QActionGroup(View1);
    ScrollUpToDown1 =
        addRadioItem(View1, "ScrollUpToDown1", QStringLiteral("Прокрутка сверху вниз"), scrolling);
    ScrollDownToUp1 =
        addRadioItem(View1, "ScrollDownToUp1", QStringLiteral("Прокрутка снизу вверх"), scrolling);
    for (QAction* item : {ScrollUpToDown1, ScrollDownToUp1}) {
        const bool atBottom = item == ScrollUpToDown1;
        connect(item, &QAction::triggered, this,
                [this, atBottom] { handle([&] { WriteConfigFlag(ConfigFlag::FromUpToDown, atBottom); }); });
    }
    View1->addSeparator();
    createToolBarMenu(View1);
    MessageEditor1 =
        addOption(View1, "MessageEditor1", QStringLiteral("Редактор сообщений"), ConfigFlag::MsgEditor);
    connect(MessageEditor1, &QAction::triggered, this,
            [this] { emit messageEditorChanged(MessageEditor1->isChecked()); });
}

void ConfigurationMenu::createToolBarMenu(QMenu* view)
{
    QMenu* ToolBar2 = view->addMenu(QStringLiteral("Панель инструментов"));
    ToolBar2->setObjectName(QStringLiteral("ToolBar2"));
    List1 = addOption(ToolBar2, "List1", QStringLiteral("Список"), ConfigFlag::ListButton);
    ShowCaption1 =
        addOption(ToolBar2, "ShowCaption1", QStringLiteral("Название кнопок"), ConfigFlag::ShowCaption);
    for (QAction* item : {List1, ShowCaption1}) {
        connect(item, &QAction::triggered, this, &ConfigurationMenu::toolBarStyleChanged);
    }
    ToolBar2->addSeparator();
    auto* sides = new QActionGroup(ToolBar2);
    m_sides = {addRadioItem(ToolBar2, "Top1", QStringLiteral("Панель сверху"), sides),
               addRadioItem(ToolBar2, "Bottom1", QStringLiteral("Панель снизу"), sides),
               addRadioItem(ToolBar2, "Left1", QStringLiteral("Панель слева"), sides),
               addRadioItem(ToolBar2, "Right1", QStringLiteral("Панель справа"), sides)};
    // In the menu the sides read top, left, right, bottom.
    ToolBar2->removeAction(sideItem(ToolBarSide::Bottom));
    ToolBar2->addAction(sideItem(ToolBarSide::Bottom));
    sideItem(ToolBarSide::Top)->setChecked(true);
    for (const ToolBarSide side :
         {ToolBarSide::Top, ToolBarSide::Bottom, ToolBarSide::Left, ToolBarSide::Right}) {
        connect(sideItem(side), &QAction::triggered, this, [this, side] {
            handle([&] { WriteToolsAlign(static_cast<int>(side)); });
            emit toolBarSideChanged(side);
        });
    }
}

void ConfigurationMenu::createConfigMenu()
{
    QMenu* Config1 = addMenu(QStringLiteral("Конфигурация"));
    Config1->setObjectName(QStringLiteral("Config1"));
    Startup1 = addItem(Config1, "Startup1", QStringLiteral("Автозагрузка"));
    Startup1->setCheckable(true);
    connect(Startup1, &QAction::triggered, this, [this] {
        handle([&] {
            const QString program =
                AutostartProgram(QApplication::applicationFilePath(), InstalledProgramPath());
            Startup1->setChecked(ToggleAutostart(program, AutostartArguments()));
        });
    });
    StartonRun1 = addOption(Config1, "StartonRun1", QStringLiteral("Автовход"), ConfigFlag::StartOnRun);
    connect(StartonRun1, &QAction::triggered, this,
            [this] { m_client.session().setAutoLogin(StartonRun1->isChecked()); });
    QAction* Connect1 = addItem(Config1, "Connect1", QStringLiteral("Сервер"));
    connect(Connect1, &QAction::triggered, this, &ConfigurationMenu::serverSettingsRequested);
    QAction* Info1 = addItem(Config1, "Info1", QStringLiteral("Информация"));
    connect(Info1, &QAction::triggered, this, &ConfigurationMenu::ownCardRequested);
}

QAction* ConfigurationMenu::sideItem(ToolBarSide side) const
{
    return m_sides.at(static_cast<std::size_t>(side) - 1);
}

void ConfigurationMenu::restoreMarks()
{
    BeeponPublic1->setChecked(ReadConfigFlag(ConfigFlag::BeepOnPublic));
    BeeponPrivate1->setChecked(ReadConfigFlag(ConfigFlag::BeepOnPrivate));
    ShowTime1->setChecked(ReadConfigFlag(ConfigFlag::ShowTime));
    Startup1->setChecked(IsAutostartOn());
    StartonRun1->setChecked(ReadConfigFlag(ConfigFlag::StartOnRun));
    (ReadConfigFlag(ConfigFlag::FromUpToDown) ? ScrollUpToDown1 : ScrollDownToUp1)->setChecked(true);
    List1->setChecked(ReadConfigFlag(ConfigFlag::ListButton));
    ShowCaption1->setChecked(ReadConfigFlag(ConfigFlag::ShowCaption));
    // Any other stored position leaves the bar where it is, at the top.
    const int align = ReadToolsAlign();
    if (align >= static_cast<int>(ToolBarSide::Top) && align <= static_cast<int>(ToolBarSide::Right)) {
        sideItem(static_cast<ToolBarSide>(align))->setChecked(true);
    }
    MessageEditor1->setChecked(ReadConfigFlag(ConfigFlag::MsgEditor));
}

bool ConfigurationMenu::listStyle() const
{
    return List1->isChecked();
}

bool ConfigurationMenu::showCaptions() const
{
    return ShowCaption1->isChecked();
}

bool ConfigurationMenu::multiLineEditor() const
{
    return MessageEditor1->isChecked();
}

bool ConfigurationMenu::beepOnPublic() const
{
    return BeeponPublic1->isChecked();
}

bool ConfigurationMenu::beepOnPrivate() const
{
    return BeeponPrivate1->isChecked();
}

void ConfigurationMenu::toggleMessageEditor()
{
    MessageEditor1->trigger();
}

ToolBarSide ConfigurationMenu::toolBarSide() const
{
    for (const ToolBarSide side : {ToolBarSide::Bottom, ToolBarSide::Left, ToolBarSide::Right}) {
        if (sideItem(side)->isChecked()) {
            return side;
        }
    }
    return ToolBarSide::Top;
}

} // namespace kovrel

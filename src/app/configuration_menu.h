// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "settings_layout.h"

#include <QMenu>

#include <array>

class QAction;
class QActionGroup;

namespace kovrel {

class ChatClient;

// Where the tool bar is docked, numbered as the setting "ToolsAlign" stores it.
enum class ToolBarSide
{
    Top = 1,
    Bottom = 2,
    Left = 3,
    Right = 4,
};

// The configuration menu ("ConfMenu") behind the tool bar's "Настройка": view options, the tool bar's
// look and place, the message editor, start-up options and the settings windows. An on/off item stores
// the inverse of the stored option the moment it is clicked and then shows what the store holds.
class ConfigurationMenu : public QMenu
{
    Q_OBJECT

public:
    ConfigurationMenu(ChatClient& client, QWidget* parent);

    // Sets every mark from the stored options; nothing is stored.
    void restoreMarks();
    bool listStyle() const;
    bool showCaptions() const;
    bool multiLineEditor() const;
    ToolBarSide toolBarSide() const;
    bool beepOnPublic() const;
    bool beepOnPrivate() const;
    // Switches the message editor as its item does (a double click in the input does this).
    void toggleMessageEditor();

signals:
    void toolBarStyleChanged();
    void toolBarSideChanged(kovrel::ToolBarSide side);
    void messageEditorChanged(bool multiLine);
    void serverSettingsRequested();
    void ownCardRequested();
    void macrosRequested();
    void fontsRequested();
    void statesRequested();
    void aboutRequested();

private:
    void createViewMenu();
    void createToolBarMenu(QMenu* view);
    void createConfigMenu();
    QAction* addItem(QMenu* menu, const char* name, const QString& caption);
    QAction* addOption(QMenu* menu, const char* name, const QString& caption, ConfigFlag flag);
    QAction* addRadioItem(QMenu* menu, const char* name, const QString& caption, QActionGroup* group);
    QAction* sideItem(ToolBarSide side) const;
    void toggle(QAction* item, ConfigFlag flag);
    // Runs the handler of a click; an error (the settings cannot be written) becomes an error line.
    template <typename Handler> void handle(Handler handler);

    ChatClient& m_client;
    QAction* BeeponPublic1;
    QAction* BeeponPrivate1;
    QAction* ShowTime1;
    QAction* ScrollUpToDown1;
    QAction* ScrollDownToUp1;
    QAction* List1;
    QAction* ShowCaption1;
    std::array<QAction*, 4> m_sides{}; // Top1, Bottom1, Left1, Right1, in the order of ToolBarSide
    QAction* MessageEditor1;
    QAction* Startup1;
    QAction* StartonRun1;
};

} // namespace kovrel

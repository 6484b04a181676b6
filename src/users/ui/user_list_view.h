// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTreeView>

#include <optional>

class QAction;
class QActionGroup;
class QMenu;

namespace kovrel {

class ChatClient;
class FloatWindows;
class StateImageList;

// The user list ("UserList"): the roster of the client core with its state pictures and ignore boxes,
// the menu of the user commands ("UserMenu") and the users' floating windows.
class UserListView : public QTreeView
{
    Q_OBJECT

public:
    UserListView(ChatClient& client, const StateImageList& pictures, QWidget* parent = nullptr);

    // Every floating window stores its position and closed mark and goes (the program ends).
    void closeFloatWindows();
    // Selects the entry of this nick, found ignoring letter case, and opens its conversation as a double
    // click would; nothing when there is none.
    void openEntry(const QString& nick);

signals:
    // The user asked for a conversation: with a partner, or the common one (none) from the own entry.
    void conversationRequested(const std::optional<QString>& partner);
    // A double click on a floating window brings the program back before its conversation is shown.
    void programRequested();

private:
    template <typename Command> auto reporting(Command command);
    void createUserMenu();
    void createStateMenu();
    std::optional<int> selectedRow() const;
    bool isOwnEntry(int row) const;
    void UserMenuPopup();
    void UserListDblClick();
    void Ignore1Click();
    void GetIP1Click();
    void Info2Click();
    void Topic1Click();
    void Float1Click();
    void connectFloatWindows();

    ChatClient& m_client;
    QMenu* UserMenu;
    QAction* Ignore1;
    QAction* Private1;
    QAction* Public1;
    QAction* N8;
    QMenu* State1;
    QActionGroup* m_states;
    FloatWindows* m_floatWindows;
};

} // namespace kovrel

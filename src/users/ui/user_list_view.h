#pragma once

#include <QTreeView>

#include <optional>

class QAction;
class QActionGroup;
class QMenu;

namespace kovrel {

class ChatClient;

// The user list ("UserList"): the roster of the client core with its state pictures and ignore boxes,
// and the menu of the user commands ("UserMenu").
class UserListView : public QTreeView
{
    Q_OBJECT

public:
    explicit UserListView(ChatClient& client, QWidget* parent = nullptr);

signals:
    // The user asked for a conversation: with a partner, or the common one (none) from the own entry.
    void conversationRequested(const std::optional<QString>& partner);

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

    ChatClient& m_client;
    QMenu* UserMenu;
    QAction* Ignore1;
    QAction* Private1;
    QAction* Public1;
    QAction* N8;
    QMenu* State1;
    QActionGroup* m_states;
};

} // namespace kovrel

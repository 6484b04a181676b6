// SPDX-License-Identifier: GPL-3.0-or-later
#include "user_list_view.h"

#include "chat_client.h"
#include "float_windows.h"
#include "roster_model.h"
#include "state_pictures.h"

#include <QAction>
#include <QActionGroup>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QInputDialog>
#include <QMenu>

namespace kovrel {

namespace {

// Shows each roster row's picture index as its state picture from the pictures in use.
class RosterPictures : public QIdentityProxyModel
{
public:
    RosterPictures(const StateImageList& pictures, QObject* parent)
        : QIdentityProxyModel(parent), m_pictures(pictures)
    {
        connect(&pictures, &StateImageList::changed, this, [this] {
            if (rowCount() > 0) {
                emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole});
            }
        });
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role == Qt::DecorationRole) {
            return m_pictures.picture(QIdentityProxyModel::data(index, RosterModel::PictureRole).toInt());
        }
        return QIdentityProxyModel::data(index, role);
    }

private:
    const StateImageList& m_pictures;
};

QAction* addNamedAction(QMenu* menu, const char* name, const QString& caption)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

} // namespace

UserListView::UserListView(ChatClient& client, const StateImageList& pictures, QWidget* parent)
    : QTreeView(parent), m_client(client)
{
    setObjectName(QStringLiteral("UserList"));
    setAccessibleName(QStringLiteral("Чатовцы"));
    setAccessibleDescription(QStringLiteral("Флажок у имени: не слушать этого пользователя"));
    auto* shown = new RosterPictures(pictures, this);
    shown->setSourceModel(&client.roster());
    setModel(shown);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setMouseTracking(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(16, 16));
    header()->setStretchLastSection(true);
    header()->setSectionsClickable(false);
    createUserMenu();
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { UserMenu->popup(viewport()->mapToGlobal(at)); });
    connect(this, &QAbstractItemView::doubleClicked, this, &UserListView::UserListDblClick);
    m_floatWindows = new FloatWindows(client, pictures, *this);
    connectFloatWindows();
}

// A floating window's right button and double click act on its entry as the list's own would.
void UserListView::connectFloatWindows()
{
    const auto select = [this](int row) { setCurrentIndex(model()->index(row, 0)); };
    connect(m_floatWindows, &FloatWindows::menuRequested, this, [this, select](int row, const QPoint& at) {
        select(row);
        UserMenu->popup(at);
    });
    connect(m_floatWindows, &FloatWindows::conversationRequested, this, [this, select](int row) {
        emit programRequested();
        select(row);
        UserListDblClick();
    });
}

void UserListView::closeFloatWindows()
{
    m_floatWindows->closeAll();
}

// A command that talks to the server reports an error it meets as an error line.
template <typename Command> auto UserListView::reporting(Command command)
{
    return [this, command] {
        m_client.reportingErrors(QString::fromLatin1(metaObject()->className()), command);
    };
}

void UserListView::createUserMenu()
{
    UserMenu = new QMenu(this);
    UserMenu->setObjectName(QStringLiteral("UserMenu"));
    Ignore1 = addNamedAction(UserMenu, "Ignore1", QStringLiteral("Игнорировать"));
    Private1 = addNamedAction(UserMenu, "Private1", QStringLiteral("Личный разговор"));
    Public1 = addNamedAction(UserMenu, "Public1", QStringLiteral("Общий разговор"));
    N8 = UserMenu->addSeparator();
    createStateMenu();
    UserMenu->addSeparator();
    QAction* GetIP1 = addNamedAction(UserMenu, "GetIP1", QStringLiteral("IP адрес"));
    QAction* Info2 = addNamedAction(UserMenu, "Info2", QStringLiteral("Информация"));
    QAction* Float1 = addNamedAction(UserMenu, "Float1", QStringLiteral("Плав. окно"));
    QAction* Update1 = addNamedAction(UserMenu, "Update1", QStringLiteral("Обновить"));
    QAction* Topic1 = addNamedAction(UserMenu, "Topic1", QStringLiteral("Тема чата"));
    connect(Ignore1, &QAction::triggered, this, &UserListView::Ignore1Click);
    connect(Private1, &QAction::triggered, this, &UserListView::UserListDblClick);
    connect(Public1, &QAction::triggered, this, &UserListView::UserListDblClick);
    connect(GetIP1, &QAction::triggered, this, reporting([this] { GetIP1Click(); }));
    connect(Info2, &QAction::triggered, this, reporting([this] { Info2Click(); }));
    connect(Float1, &QAction::triggered, this, &UserListView::Float1Click);
    connect(Update1, &QAction::triggered, this, reporting([this] { m_client.refreshRoster(); }));
    connect(Topic1, &QAction::triggered, this, reporting([this] { Topic1Click(); }));
    connect(UserMenu, &QMenu::aboutToShow, this, &UserListView::UserMenuPopup);
}

void UserListView::createStateMenu()
{
    State1 = UserMenu->addMenu(QStringLiteral("Состояние"));
    State1->setObjectName(QStringLiteral("State1"));
    m_states = new QActionGroup(State1);
    static constexpr const char* kNames[] = {"OnLine1", "OffLine1", "Alive1", "Busy1"};
    const QString captions[] = {QStringLiteral("На линии"), QStringLiteral("Недоступен"),
                                QStringLiteral("Ушел"), QStringLiteral("Занят")};
    for (int code = OnLine; code <= Busy; ++code) {
        QAction* item = addNamedAction(State1, kNames[code], captions[code]);
        item->setCheckable(true);
        item->setData(code);
        m_states->addAction(item);
        connect(item, &QAction::triggered, this, reporting([this, code] { m_client.changeState(code); }));
    }
}

std::optional<int> UserListView::selectedRow() const
{
    const QModelIndexList selected = selectionModel()->selectedRows();
    if (selected.isEmpty()) {
        return std::nullopt;
    }
    return selected.front().row();
}

bool UserListView::isOwnEntry(int row) const
{
    return m_client.roster().at(row).nick == m_client.nick();
}

// With no entry selected the items keep what they showed last.
void UserListView::UserMenuPopup()
{
    const std::optional<int> row = selectedRow();
    if (!row) {
        return;
    }
    const bool own = isOwnEntry(*row);
    Ignore1->setVisible(!own);
    Private1->setVisible(!own);
    Public1->setVisible(own);
    N8->setVisible(own);
    State1->menuAction()->setVisible(own);
    const int state = m_client.roster().at(*row).state;
    for (QAction* item : m_states->actions()) {
        item->setChecked(item->data().toInt() == state);
    }
}

void UserListView::openEntry(const QString& nick)
{
    if (const std::optional<int> row = m_client.roster().findIgnoringCase(nick)) {
        setCurrentIndex(model()->index(*row, 0));
        UserListDblClick();
    }
}

void UserListView::UserListDblClick()
{
    if (const std::optional<int> row = selectedRow()) {
        emit conversationRequested(isOwnEntry(*row) ? std::nullopt
                                                    : std::optional(m_client.roster().at(*row).nick));
    }
}

void UserListView::Ignore1Click()
{
    const std::optional<int> row = selectedRow();
    if (row && !isOwnEntry(*row)) {
        m_client.roster().setIgnored(*row, !m_client.roster().at(*row).ignored);
    }
}

void UserListView::GetIP1Click()
{
    if (const std::optional<int> row = selectedRow()) {
        m_client.queryAddress(m_client.roster().at(*row).nick);
    }
}

void UserListView::Info2Click()
{
    if (const std::optional<int> row = selectedRow()) {
        m_client.requestCard(m_client.roster().at(*row).nick);
    }
}

void UserListView::Float1Click()
{
    if (const std::optional<int> row = selectedRow()) {
        m_floatWindows->Float1Click(*row);
    }
}

void UserListView::Topic1Click()
{
    const QString current = m_client.topic();
    bool accepted = false;
    const QString topic = QInputDialog::getText(this, QStringLiteral("Set Topic"), QStringLiteral("Topic"),
                                                QLineEdit::Normal, current, &accepted);
    if (accepted) {
        m_client.changeTopic(topic);
    }
}

} // namespace kovrel

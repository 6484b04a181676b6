// The roster pane of the main window: entries, states, ignore marks and the user menu.

#include "chat_main_form.h"

#include "artwork.h"
#include "chat_lines.h"

#include <QAction>
#include <QActionGroup>
#include <QInputDialog>
#include <QMenu>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTreeWidget>

namespace kovrel {

QTreeWidgetItem* TChatMainForm::rosterItem(std::size_t index) const
{
    return UserList->topLevelItem(static_cast<int>(index));
}

void TChatMainForm::AddRosterEntry(const QString& nick)
{
    const std::size_t index = m_roster.addOrReuse(nick);
    if (index == static_cast<std::size_t>(UserList->topLevelItemCount())) {
        const QSignalBlocker quiet(UserList);
        auto* item = new QTreeWidgetItem(UserList);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
    }
    refreshRosterItem(index);
}

void TChatMainForm::refreshRosterItem(std::size_t index)
{
    const QSignalBlocker quiet(UserList);
    QTreeWidgetItem* item = rosterItem(index);
    const RosterEntry& entry = m_roster.at(index);
    item->setText(0, entry.nick);
    item->setIcon(0, artwork::statePicture(m_roster.pictureIndex(index, m_session->nick())));
    item->setCheckState(0, entry.ignored ? Qt::Checked : Qt::Unchecked);
}

void TChatMainForm::clearRoster()
{
    m_roster.clear();
    UserList->clear();
}

std::optional<std::size_t> TChatMainForm::selectedEntry() const
{
    QTreeWidgetItem* item = UserList->currentItem();
    if (!item || !item->isSelected()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(UserList->indexOfTopLevelItem(item));
}

void TChatMainForm::SetIncomingMark(std::size_t index, bool mark)
{
    m_roster.at(index).incoming = mark;
    refreshRosterItem(index);
}

void TChatMainForm::UserListChange(QTreeWidgetItem* item)
{
    const int index = UserList->indexOfTopLevelItem(item);
    if (index >= 0) {
        m_roster.at(static_cast<std::size_t>(index)).ignored = item->checkState(0) == Qt::Checked;
    }
}

void TChatMainForm::UserListDblClick()
{
    const std::optional<std::size_t> index = selectedEntry();
    if (!index) {
        return;
    }
    const QString nick = m_roster.at(*index).nick;
    if (nick == m_session->nick()) {
        PageControl1->setCurrentIndex(0);
        SetIncomingMark(*index, false);
        return;
    }
    const int page = FindPrivatePage(nick);
    if (page >= 0) {
        PageControl1->setCurrentIndex(page);
        PageControl1Change();
    } else {
        OpenPrivatePage(nick);
    }
}

void TChatMainForm::UserMenuPopup()
{
    const std::optional<std::size_t> index = selectedEntry();
    if (!index) {
        return;
    }
    const RosterEntry& entry = m_roster.at(*index);
    const bool own = entry.nick == m_session->nick();
    Ignore1->setVisible(!own);
    Private1->setVisible(!own);
    Public1->setVisible(own);
    N8->setVisible(own);
    State1->menuAction()->setVisible(own);
    for (QAction* item : StateGroup->actions()) {
        item->setChecked(item->data().toInt() == entry.state);
    }
}

void TChatMainForm::Ignore1Click()
{
    const std::optional<std::size_t> index = selectedEntry();
    if (!index || m_roster.at(*index).nick == m_session->nick()) {
        return;
    }
    RosterEntry& entry = m_roster.at(*index);
    entry.ignored = !entry.ignored;
    refreshRosterItem(*index);
}

void TChatMainForm::State1Click(int code)
{
    m_session->sendMessage(QStringLiteral("StateUser"), {m_session->nick(), QString::number(code)});
}

void TChatMainForm::GetIP1Click()
{
    const std::optional<std::size_t> index = selectedEntry();
    if (!index) {
        return;
    }
    const QString nick = m_roster.at(*index).nick;
    const std::optional<QString> address = m_session->queryAddress(nick);
    writeSystemLine(address ? lines::AddressAnswer(nick, *address) : lines::NoAddressAnswer(nick));
}

void TChatMainForm::Update1Click()
{
    clearRoster();
    m_session->sendMessage(QStringLiteral("GetUser"), {m_session->nick()});
}

void TChatMainForm::Topic1Click()
{
    const QString current = lines::TopicOfCaption(windowTitle(), m_baseCaption);
    bool accepted = false;
    const QString topic = QInputDialog::getText(this, QStringLiteral("Set Topic"), QStringLiteral("Topic"),
                                                QLineEdit::Normal, current, &accepted);
    if (accepted && topic != current) {
        m_session->sendMessage(QStringLiteral("Topic"), {topic});
    }
}

void TChatMainForm::createUserMenu()
{
    UserMenu = new QMenu(this);
    UserMenu->setObjectName(QStringLiteral("UserMenu"));
    Ignore1 = UserMenu->addAction(QStringLiteral("Игнорировать"), this, &TChatMainForm::Ignore1Click);
    Private1 = UserMenu->addAction(QStringLiteral("Личный разговор"), this, &TChatMainForm::UserListDblClick);
    Public1 = UserMenu->addAction(QStringLiteral("Общий разговор"), this, &TChatMainForm::UserListDblClick);
    N8 = UserMenu->addSeparator();
    State1 = UserMenu->addMenu(QStringLiteral("Состояние"));
    StateGroup = new QActionGroup(State1);
    const QString states[] = {QStringLiteral("На линии"), QStringLiteral("Недоступен"),
                              QStringLiteral("Ушел"), QStringLiteral("Занят")};
    for (int code = OnLine; code <= Busy; ++code) {
        QAction* item = State1->addAction(states[code], this, [this, code] { State1Click(code); });
        item->setCheckable(true);
        item->setData(code);
        StateGroup->addAction(item);
    }
    UserMenu->addSeparator();
    GetIP1 = UserMenu->addAction(QStringLiteral("IP адрес"), this, &TChatMainForm::GetIP1Click);
    // The personal card and floating windows arrive with their own features.
    UserMenu->addAction(QStringLiteral("Информация"))->setEnabled(false);
    UserMenu->addAction(QStringLiteral("Плав. окно"))->setEnabled(false);
    Update1 = UserMenu->addAction(QStringLiteral("Обновить"), this, &TChatMainForm::Update1Click);
    Topic1 = UserMenu->addAction(QStringLiteral("Тема чата"), this, &TChatMainForm::Topic1Click);
    connect(UserMenu, &QMenu::aboutToShow, this, &TChatMainForm::UserMenuPopup);
}

} // namespace kovrel

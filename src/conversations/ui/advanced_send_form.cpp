// SPDX-License-Identifier: GPL-3.0-or-later
#include "advanced_send_form.h"

#include "multi_send_host.h"
#include "outgoing_message.h"
#include "roster_model.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QScreen>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kovrel {

namespace {

constexpr QSize kClientSize(393, 169);
constexpr int kMaxTextLength = 2048;
constexpr int kListColumnWidth = 109;
constexpr int kListWidth = 125;

} // namespace

TAdvancedSendForm::TAdvancedSendForm(const RosterModel& roster, MultiSendHost& host, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), m_roster(roster),
      m_host(host)
{
    setObjectName(QStringLiteral("AdvancedSendForm"));
    setWindowTitle(QStringLiteral("Послание"));
    createControls();
    createSelectMenu();
    arrangeControls();
}

void TAdvancedSendForm::createControls()
{
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setAccessibleName(QStringLiteral("Послание"));
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->installEventFilter(this);
    connect(Memo1, &QPlainTextEdit::textChanged, this, &TAdvancedSendForm::keepTextWithinLimit);

    UserList = new QTreeWidget(this);
    UserList->setObjectName(QStringLiteral("UserList"));
    UserList->setAccessibleName(QStringLiteral("Чатовцы"));
    UserList->setAccessibleDescription(QStringLiteral("Отмеченные получат послание лично"));
    UserList->setHeaderLabels({QStringLiteral("Чатовцы")});
    UserList->header()->setSectionsClickable(false);
    UserList->setColumnWidth(0, kListColumnWidth);
    UserList->setRootIsDecorated(false);
    UserList->setIconSize(QSize(16, 16));
    UserList->setMouseTracking(true);
    UserList->setEditTriggers(QAbstractItemView::NoEditTriggers);

    SpeedButton1 = createButton("SpeedButton1", QStringLiteral("Послать"));
    SpeedButton3 = createButton("SpeedButton3", QStringLiteral("Послать и закрыть"));
    SpeedButton2 = createButton("SpeedButton2", QStringLiteral("Закрыть"));
    connect(SpeedButton1, &QToolButton::clicked, this, &TAdvancedSendForm::SpeedButton1Click);
    connect(SpeedButton3, &QToolButton::clicked, this, &TAdvancedSendForm::SpeedButton3Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TAdvancedSendForm::SpeedButton2Click);
}

QToolButton* TAdvancedSendForm::createButton(const char* objectName, const QString& caption)
{
    auto* button = new QToolButton(this);
    button->setObjectName(QLatin1String(objectName));
    button->setText(caption);
    button->setAutoRaise(true);
    return button;
}

// The list's context menu; its shortcut works while the list has the focus.
void TAdvancedSendForm::createSelectMenu()
{
    SelectMenu = new QMenu(this);
    SelectMenu->setObjectName(QStringLiteral("SelectMenu"));
    QAction* selectAll =
        SelectMenu->addAction(QStringLiteral("Выделить все"), this, &TAdvancedSendForm::SelectAll1Click);
    selectAll->setObjectName(QStringLiteral("SelectAll1"));
    selectAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    selectAll->setShortcutContext(Qt::WidgetShortcut);
    UserList->addAction(selectAll);
    SelectMenu->addAction(QStringLiteral("Развыделить все"), this, &TAdvancedSendForm::DeselectAll1Click)
        ->setObjectName(QStringLiteral("DeselectAll1"));
    SelectMenu
        ->addAction(QStringLiteral("Выделить наоборот"), this, &TAdvancedSendForm::InvertSelection1Click)
        ->setObjectName(QStringLiteral("InvertSelection1"));
    UserList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(UserList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& point) { SelectMenu->popup(UserList->viewport()->mapToGlobal(point)); });
}

void TAdvancedSendForm::arrangeControls()
{
    auto* lists = new QHBoxLayout;
    lists->setSpacing(4);
    lists->addWidget(Memo1, 1);
    UserList->setFixedWidth(kListWidth);
    lists->addWidget(UserList);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(2);
    buttons->addStretch();
    for (QToolButton* button : {SpeedButton1, SpeedButton3, SpeedButton2}) {
        buttons->addWidget(button);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);
    layout->addLayout(lists, 1);
    layout->addLayout(buttons);
    setFixedSize(kClientSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

void TAdvancedSendForm::keepTextWithinLimit()
{
    const QString text = Memo1->toPlainText();
    if (text.size() <= kMaxTextLength) {
        return;
    }
    Memo1->setPlainText(text.left(kMaxTextLength));
    Memo1->moveCursor(QTextCursor::End);
}

QWidget* TAdvancedSendForm::messageBox() const
{
    return Memo1;
}

QWidget* TAdvancedSendForm::recipientList() const
{
    return UserList;
}

void TAdvancedSendForm::OpenMultiSend(const QString& text)
{
    if (!SpeedButton1->isEnabled()) {
        // A send is under way: its text and list stay until it is over.
        raise();
        return;
    }
    Memo1->setPlainText(text);
    Memo1->moveCursor(QTextCursor::End);
    FillRecipients();
    show();
    raise();
    activateWindow();
    Memo1->setFocus();
}

void TAdvancedSendForm::FillRecipients()
{
    m_recipients = kovrel::FillRecipients(m_roster, m_host.shownPartner());
    showRecipients();
}

void TAdvancedSendForm::UserListChange()
{
    if (!isVisible()) {
        return;
    }
    takeCheckMarks();
    RefreshRecipients(m_recipients, m_roster);
    showRecipients();
}

bool TAdvancedSendForm::HasCheckedRecipient() const
{
    for (int row = 0; row < UserList->topLevelItemCount(); ++row) {
        if (UserList->topLevelItem(row)->checkState(0) == Qt::Checked) {
            return true;
        }
    }
    return false;
}

void TAdvancedSendForm::showRecipients()
{
    UserList->clear();
    for (const Recipient& recipient : m_recipients) {
        auto* item = new QTreeWidgetItem(UserList, {recipient.nick});
        item->setIcon(0, m_host.statePicture(recipient.picture));
        item->setCheckState(0, recipient.checked ? Qt::Checked : Qt::Unchecked);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    }
}

void TAdvancedSendForm::takeCheckMarks()
{
    for (int row = 0; row < UserList->topLevelItemCount(); ++row) {
        m_recipients.at(static_cast<std::size_t>(row)).checked =
            UserList->topLevelItem(row)->checkState(0) == Qt::Checked;
    }
}

void TAdvancedSendForm::setCheckMarks(const std::function<bool(bool)>& mark)
{
    for (int row = 0; row < UserList->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = UserList->topLevelItem(row);
        item->setCheckState(0, mark(item->checkState(0) == Qt::Checked) ? Qt::Checked : Qt::Unchecked);
    }
}

void TAdvancedSendForm::SelectAll1Click()
{
    setCheckMarks([](bool) { return true; });
}

void TAdvancedSendForm::DeselectAll1Click()
{
    setCheckMarks([](bool) { return false; });
}

void TAdvancedSendForm::InvertSelection1Click()
{
    setCheckMarks([](bool checked) { return !checked; });
}

void TAdvancedSendForm::setSending(bool sending)
{
    for (QWidget* control :
         std::initializer_list<QWidget*>{SpeedButton1, SpeedButton2, SpeedButton3, Memo1, UserList}) {
        control->setEnabled(!sending);
    }
    if (sending) {
        QApplication::setOverrideCursor(Qt::BusyCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

// Each chosen user in list order gets the text privately; the next one waits for the server's copy of
// the message before. The conversation shown before is shown again afterwards.
void TAdvancedSendForm::SpeedButton1Click()
{
    const QString text = Memo1->toPlainText();
    if (text.isEmpty() || !HasCheckedRecipient()) {
        return;
    }
    // A text the send refuses is refused once, before anything is sent, and stays to be mended.
    if (!m_host.maySend(text)) {
        return;
    }
    takeCheckMarks();
    // The list may be refreshed while the sends wait; the chosen users are taken now.
    QStringList chosen;
    for (const Recipient& recipient : m_recipients) {
        if (recipient.checked) {
            chosen << recipient.nick;
        }
    }
    const std::optional<QString> shown = m_host.shownPartner();
    {
        // The window takes no input meanwhile, and gets it back however the sends end, an error included.
        setSending(true);
        const auto sent = qScopeGuard([this] { setSending(false); });
        for (const QString& nick : chosen) {
            m_host.sendPrivately(nick, text);
        }
        m_host.returnToConversation(shown);
    }
    Memo1->clear();
    raise();
    activateWindow();
    Memo1->setFocus();
}

void TAdvancedSendForm::SpeedButton3Click()
{
    SpeedButton1Click();
    SpeedButton2Click();
}

void TAdvancedSendForm::SpeedButton2Click()
{
    hide();
}

// A macro's hot key in the text box adds the macro's text; the box does not see the key, so that a
// combination such as Ctrl+A does not also select the text just added.
bool TAdvancedSendForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Memo1 && event->type() == QEvent::KeyPress) {
        const QString macro = m_host.macroFor(*static_cast<QKeyEvent*>(event));
        if (!macro.isEmpty()) {
            Memo1->setPlainText(AppendInputText(Memo1->toPlainText(), macro));
            Memo1->moveCursor(QTextCursor::End);
            Memo1->setFocus();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace kovrel

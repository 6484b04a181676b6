// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversation_pages.h"

#include "conversation_view.h"

#include <QElapsedTimer>
#include <QMenu>
#include <QScopedValueRollback>
#include <QTabBar>

#include <algorithm>

namespace kovrel {

namespace {

// Lines that come as a stream are written together once it pauses this long...
constexpr std::chrono::milliseconds kStreamPause{15};
// ...but none waits longer than this to be shown.
constexpr std::chrono::milliseconds kLongestWait{250};

QString tabCaption(const QString& nick)
{
    return QString(nick).replace(QLatin1Char('&'), QLatin1String("&&"));
}

} // namespace

ConversationPages::ConversationPages(QWidget* parent) : QTabWidget(parent)
{
    setObjectName(QStringLiteral("PageControl1"));
    setAccessibleName(QStringLiteral("Разговоры"));
    setAccessibleDescription(QStringLiteral("Общий разговор и личные разговоры"));
    setDocumentMode(true);
    Common = createView(QStringLiteral("Common"));
    Common->setAccessibleName(QStringLiteral("Общий разговор"));
    addTab(Common, QStringLiteral("Общий разговор"));
    createPageMenu();
    m_flushTimer.setSingleShot(true);
    connect(&m_flushTimer, &QTimer::timeout, this, &ConversationPages::flushLines);
    connect(this, &QTabWidget::currentChanged, this, &ConversationPages::PageControl1Change);
}

ConversationView* ConversationPages::createView(const QString& name)
{
    auto* view = new ConversationView;
    view->setObjectName(name);
    connect(view, &ConversationView::textSelected, this, &ConversationPages::textSelected);
    return view;
}

void ConversationPages::createPageMenu()
{
    PrivateMenu = new QMenu(this);
    PrivateMenu->setObjectName(QStringLiteral("PrivateMenu"));
    ClosePrivate1 =
        PrivateMenu->addAction(QStringLiteral("Закрыть приват"), this, &ConversationPages::ToolButton4Click);
    ClosePrivate1->setObjectName(QStringLiteral("ClosePrivate1"));
    ClosePrivateSeparator = PrivateMenu->addSeparator();
    PrivateMenu->addAction(QStringLiteral("Загрузить лог"), this, &ConversationPages::loadLogRequested)
        ->setObjectName(QStringLiteral("Loadfromlogfile1"));
    PrivateMenu->addAction(QStringLiteral("Сохранить лог"), this, &ConversationPages::saveLogRequested)
        ->setObjectName(QStringLiteral("Savetologfile1"));
    PrivateMenu->addSeparator();
    PrivateMenu->addAction(QStringLiteral("Очистить окно"), this, &ConversationPages::ToolButton3Click)
        ->setObjectName(QStringLiteral("ClearPage1"));
    connect(PrivateMenu, &QMenu::aboutToShow, this, &ConversationPages::PrivateMenuPopup);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PrivateMenu->popup(mapToGlobal(at)); });
}

void ConversationPages::writeLine(const ChatLine& line)
{
    if (ConversationView* view = viewOf(line.partner)) {
        view->addLine(line);
        scheduleFlush();
    }
}

void ConversationPages::scheduleFlush()
{
    if (!m_pendingSince.isValid()) {
        m_pendingSince.start();
    }
    const std::chrono::milliseconds waited(m_pendingSince.elapsed());
    m_flushTimer.start(std::clamp(kLongestWait - waited, std::chrono::milliseconds(0), kStreamPause));
}

void ConversationPages::flushLines()
{
    m_flushTimer.stop();
    m_pendingSince.invalidate();
    for (int page = 0; page < count(); ++page) {
        static_cast<ConversationView*>(widget(page))->flushPending();
    }
}

bool ConversationPages::openConversation(const QString& partner)
{
    if (!addConversation(partner)) {
        return false;
    }
    // Opening shows the page, but it is not a page change: the conversation's mark stays.
    const QScopedValueRollback opening(m_opening, true);
    setCurrentIndex(FindPrivatePage(partner));
    return true;
}

bool ConversationPages::addConversation(const QString& partner)
{
    if (FindPrivatePage(partner) >= 0) {
        return false;
    }
    ConversationView* Privat = createView(QStringLiteral("Privat"));
    Privat->setAccessibleName(partner);
    const int page = addTab(Privat, tabCaption(partner));
    tabBar()->setTabData(page, partner);
    emit conversationOpened(Privat);
    return true;
}

void ConversationPages::setPageMarked(const QString& partner, bool marked)
{
    if (const int page = FindPrivatePage(partner); page > 0) {
        tabBar()->setTabTextColor(page, marked ? palette().color(QPalette::Link) : QColor());
    }
}

int ConversationPages::pageOf(const std::optional<QString>& partner) const
{
    return partner ? FindPrivatePage(*partner) : 0;
}

void ConversationPages::showConversation(const std::optional<QString>& partner)
{
    const int page = pageOf(partner);
    if (page < 0) {
        return;
    }
    if (page == currentIndex()) {
        PageControl1Change();
    } else {
        setCurrentIndex(page);
    }
}

void ConversationPages::returnToConversation(const std::optional<QString>& partner)
{
    const int page = pageOf(partner);
    if (page >= 0) {
        const QScopedValueRollback quiet(m_opening, true);
        setCurrentIndex(page);
    }
}

QString ConversationPages::currentCaption() const
{
    const std::optional<QString> partner = currentPartner();
    return partner ? *partner : tabText(0);
}

std::optional<QString> ConversationPages::currentPartner() const
{
    const int page = currentIndex();
    if (page <= 0) {
        return std::nullopt;
    }
    return tabBar()->tabData(page).toString();
}

int ConversationPages::FindPrivatePage(const QString& partner) const
{
    for (int page = 1; page < count(); ++page) {
        if (tabBar()->tabData(page).toString() == partner) {
            return page;
        }
    }
    return -1;
}

ConversationView* ConversationPages::currentView() const
{
    return static_cast<ConversationView*>(currentWidget());
}

ConversationView* ConversationPages::viewOf(const std::optional<QString>& partner) const
{
    const int page = pageOf(partner);
    return page < 0 ? nullptr : static_cast<ConversationView*>(widget(page));
}

QList<ConversationView*> ConversationPages::privateViews() const
{
    QList<ConversationView*> views;
    for (int page = 1; page < count(); ++page) {
        views.append(static_cast<ConversationView*>(widget(page)));
    }
    return views;
}

QStringList ConversationPages::privatePartners() const
{
    QStringList partners;
    for (int page = 1; page < count(); ++page) {
        partners.append(tabBar()->tabData(page).toString());
    }
    return partners;
}

void ConversationPages::ToolButton3Click()
{
    currentView()->clearLines();
}

void ConversationPages::ToolButton4Click()
{
    const int page = currentIndex();
    if (page <= 0) {
        return;
    }
    QWidget* closed = widget(page);
    setCurrentIndex(page - 1);
    removeTab(page);
    delete closed;
}

void ConversationPages::PageControl1Change()
{
    if (!m_opening) {
        emit conversationShown(currentPartner());
    }
}

void ConversationPages::PrivateMenuPopup()
{
    const bool privatePage = currentIndex() > 0;
    ClosePrivate1->setVisible(privatePage);
    ClosePrivateSeparator->setVisible(privatePage);
}

} // namespace kovrel

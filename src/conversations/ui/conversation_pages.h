// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chat_line.h"

#include <QElapsedTimer>
#include <QTabWidget>
#include <QTimer>

#include <chrono>
#include <optional>

class QAction;
class QMenu;

namespace kovrel {

class ConversationView;

// The conversation pages ("PageControl1"): the common conversation on the first page, then one page per
// private conversation, known by its partner's nick (kept with the tab, never read back from the caption,
// which shows the nick with "&" escaped). Lines are shown in batches, so that a burst of them lays a long
// page out a few times, not for every read.
class ConversationPages : public QTabWidget
{
    Q_OBJECT

public:
    explicit ConversationPages(QWidget* parent = nullptr);

    // Lines for a private conversation without a page are dropped.
    void writeLine(const ChatLine& line);
    // Writes every line not yet shown.
    void flushLines();

    // Creates the page of the conversation with `partner` at the end and shows it; false when it exists.
    bool openConversation(const QString& partner);
    // Creates the page at the end, leaving the page shown as it is; false when it exists.
    bool addConversation(const QString& partner);
    // A page whose conversation has lines the user has not seen shows its tab in the link colour.
    void setPageMarked(const QString& partner, bool marked);
    // Brings the conversation into view as a page change (none: the common conversation).
    void showConversation(const std::optional<QString>& partner);
    // Shows the conversation again without it counting as a page change: its mark stays.
    void returnToConversation(const std::optional<QString>& partner);
    // The partner of the page shown; none on the common page.
    std::optional<QString> currentPartner() const;
    // What the tab of the page shown reads, "&" unescaped: the partner, or the common page's name.
    QString currentCaption() const;
    // The page of the conversation with `partner` (exact nick), -1 when it has none.
    int FindPrivatePage(const QString& partner) const;
    // The conversation of the page shown.
    ConversationView* currentView() const;
    ConversationView* viewOf(const std::optional<QString>& partner) const;
    // The private pages' conversations, and their partners, in page order.
    QList<ConversationView*> privateViews() const;
    QStringList privatePartners() const;

    // Empties the page shown.
    void ToolButton3Click();
    // Closes the private page shown; the page before it is shown instead, as a page change.
    void ToolButton4Click();

signals:
    // Another conversation is shown (none: the common one): by the user or by a page command.
    void conversationShown(const std::optional<QString>& partner);
    // The user selected text in a conversation.
    void textSelected(const QString& text);
    // A private page was opened (for a partner or a log), so that it can be given its attributes.
    void conversationOpened(kovrel::ConversationView* page);
    // The page menu's log commands.
    void loadLogRequested();
    void saveLogRequested();

private:
    // The page of a conversation (none: the common one), -1 when it has none.
    int pageOf(const std::optional<QString>& partner) const;
    ConversationView* createView(const QString& name);
    void createPageMenu();
    void PageControl1Change();
    void PrivateMenuPopup();
    void scheduleFlush();

    ConversationView* Common;
    QMenu* PrivateMenu;
    QAction* ClosePrivate1;
    QAction* ClosePrivateSeparator;
    QTimer m_flushTimer;
    QElapsedTimer m_pendingSince;
    bool m_opening = false;
};

} // namespace kovrel

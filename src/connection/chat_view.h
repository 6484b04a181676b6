#pragma once

#include "chat_line.h"
#include "personal_card.h"

#include <QString>

namespace kovrel {

// What the client core asks of the window that shows it. The core decides; the window renders.
class ChatView
{
public:
    virtual ~ChatView() = default;

    // Lines written into a private conversation whose page is not open are not shown.
    virtual void writeLine(const ChatLine& line) = 0;
    // Opens the private conversation with `partner` on a page of its own and shows it; true when it did,
    // false when that page was open already.
    virtual bool openConversation(const QString& partner) = 0;
    virtual void showImportantMessage(const QString& line) = 0;
    // A blank topic shows the plain caption.
    virtual void showTopic(const QString& topic) = 0;
    // Another user's card, as the server sent it; each card gets a window of its own.
    virtual void showCard(const PersonalCard& card) = 0;

    virtual void setLoginCaption(const QString& caption) = 0;
    // While a log-in or log-out runs, the controls that would start another one are off.
    virtual void setLoginRunning(bool running) = 0;
    virtual void setWaitCursor(bool waiting) = 0;
    // The connect dialog; true when the user accepted it.
    virtual bool runConnectDialog() = 0;
    // Sends `text` the way the user would: on the common page, through the shown input and the send action.
    virtual void sendAsPublicMessage(const QString& text) = 0;
};

} // namespace kovrel

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chat_line.h"
#include "personal_card.h"

#include <QString>

namespace kovrel {

// What the client core shows through the window. Each call renders and returns: the core never waits for
// the window, asks it a question or has it open a dialog. The log-in's progress comes as ChatSession's
// signals.
class ChatView
{
public:
    virtual ~ChatView() = default;

    // Lines written into a private conversation whose page is not open are not shown.
    virtual void writeLine(const ChatLine& line) = 0;
    // A private line is about to be written: the conversation with `partner` gets a page if it has none. The
    // window decides what is shown and tells the core (ChatClient::conversationOpened).
    virtual void openConversation(const QString& partner) = 0;
    virtual void showImportantMessage(const QString& line) = 0;
    // A blank topic shows the plain caption.
    virtual void showTopic(const QString& topic) = 0;
    // Another user's card, as the server sent it; each card gets a window of its own.
    virtual void showCard(const PersonalCard& card) = 0;
};

} // namespace kovrel

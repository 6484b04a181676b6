// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QString>

#include <optional>

class QKeyEvent;

namespace kovrel {

// What a multi-recipient send asks of the main window: it sends through the window's own send, so that
// each message carries the importance mark and the own style and enters the input history.
class MultiSendHost
{
public:
    // The partner of the private page shown; none on the common page.
    virtual std::optional<QString> shownPartner() const = 0;
    // Whether the window's send would send `text`; a refusal the user must hear of is told here, once.
    virtual bool maySend(const QString& text) = 0;
    // Shows the conversation with `nick` (opening its page when there is none), sends `text` there and
    // waits for the server's copy of it.
    virtual void sendPrivately(const QString& nick, const QString& text) = 0;
    // Shows the conversation again without it counting as a page change.
    virtual void returnToConversation(const std::optional<QString>& partner) = 0;
    // The text of the macro bound to a key press; empty when there is none.
    virtual QString macroFor(const QKeyEvent& key) const = 0;
    // The state picture the user list shows for a picture index.
    virtual QIcon statePicture(int index) const = 0;

protected:
    ~MultiSendHost() = default;
};

} // namespace kovrel

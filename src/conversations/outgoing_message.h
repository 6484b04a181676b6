#pragma once

#include "text_style.h"

#include <QString>

namespace kovrel {

enum class OutgoingCheck
{
    Ready,
    // Nothing but blanks, tabs and line breaks: nothing is sent and nothing said.
    Blank,
    // "|" would split the message on the wire; the user is told.
    ForbiddenCharacter,
};

OutgoingCheck CheckOutgoingText(const QString& text);

// The two fields of one chat message: the sender's text style, then the message itself.
struct ChatFields
{
    QString style;
    QString message;
};

// `partner` empty: the common conversation; otherwise a private message to that nick. The text goes out
// untrimmed, with "!" in front when it is important.
ChatFields BuildChatFields(const TextStyle& style, const QString& ownNick, const QString& partner,
                           bool important, const QString& text);

} // namespace kovrel

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "text_style.h"

#include <QString>

#include <optional>
#include <string>

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

// A macro's or a chosen text added to what the input holds: one blank between, unless the input is empty
// or already ends with one.
QString AppendInputText(const QString& current, const QString& text);

// The two fields of one chat message in wire text: the sender's text style, then the message itself.
struct ChatFields
{
    std::string style;
    std::string message;
};

// Without a partner the message goes to the common conversation, otherwise privately to that nick. The
// text goes out untrimmed, with "!" in front when it is important.
ChatFields BuildChatFields(const TextStyle& style, const QString& ownNick,
                           const std::optional<QString>& partner, bool important, const QString& text);

} // namespace kovrel

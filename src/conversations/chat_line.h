// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "text_style.h"

#include <QString>

#include <optional>

namespace kovrel {

// One line for a conversation page: which conversation, its text, the attributes it is written in and
// where it goes.
struct ChatLine
{
    // The private conversation with this partner; none: the common conversation.
    std::optional<QString> partner;
    QString text;
    // The style a peer announced for its lines; none: the page's own attributes.
    std::optional<TextStyle> style;
    // Appended as the last line, or inserted as the first.
    bool atBottom = true;

    friend bool operator==(const ChatLine&, const ChatLine&) = default;
};

} // namespace kovrel

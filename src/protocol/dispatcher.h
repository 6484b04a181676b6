// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "packet.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kovrel {

// The values of a received "TextStyle": the text style that the following lines are written in.
struct TextStyleValues
{
    std::int32_t charset = 0;
    std::int32_t color = 0;
    std::int32_t height = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    std::string fontName;

    friend bool operator==(const TextStyleValues&, const TextStyleValues&) = default;
};

// Parses the values after "TextStyle|". A kind of "PrivatUser" is followed by sender and addressee, which
// are skipped. Only the number 1 switches a style flag on. Throws ConversionError for a number that does not
// convert.
TextStyleValues ParseTextStyle(std::string_view values);

// One row of a receiver's command table: the command's name and the member that handles its values (wire
// text, everything after the first "|").
template <typename Receiver> struct CommandRoute
{
    std::string_view name;
    void (Receiver::*handler)(std::string_view values);
};

// Splits one received field into command and values and calls the handler of its row; a command without a
// row goes to `unknown` with its name. Names are compared byte for byte.
template <typename Receiver>
void DispatchMessage(std::string_view field, std::span<const CommandRoute<Receiver>> routes,
                     Receiver& receiver,
                     void (Receiver::*unknown)(std::string_view command, std::string_view values))
{
    const SplitText split = SplitFirst(field);
    const auto route = std::find_if(routes.begin(), routes.end(), [&](const CommandRoute<Receiver>& known) {
        return known.name == split.head;
    });
    if (route == routes.end()) {
        (receiver.*unknown)(split.head, split.rest);
    } else {
        (receiver.*route->handler)(split.rest);
    }
}

} // namespace kovrel

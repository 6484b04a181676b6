// SPDX-License-Identifier: GPL-3.0-or-later
#include "dispatcher.h"

#include "commands.h"
#include "message.h"

namespace kovrel {
namespace {

bool flagValue(std::string_view text)
{
    return ParseInteger(text) == 1;
}

} // namespace

TextStyleValues ParseTextStyle(std::string_view text)
{
    MessageValues values(text);
    if (values.next() == command::PrivatUser) {
        values.next();
        values.next();
    }
    TextStyleValues style;
    style.charset = ParseInteger(values.next());
    style.color = ParseInteger(values.next());
    style.height = ParseInteger(values.next());
    style.bold = flagValue(values.next());
    style.italic = flagValue(values.next());
    style.underline = flagValue(values.next());
    style.strikeout = flagValue(values.next());
    style.fontName = values.rest();
    return style;
}

} // namespace kovrel

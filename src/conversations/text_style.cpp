// SPDX-License-Identifier: GPL-3.0-or-later
#include "text_style.h"

#include "settings_layout.h"
#include "wire_text.h"

#include <algorithm>

namespace kovrel {
namespace {

int clampHeight(int height)
{
    if (height == 0) {
        return 0;
    }
    const int pixels = std::clamp(std::abs(height), kMinTextPixels, kMaxTextPixels);
    return height < 0 ? -pixels : pixels;
}

} // namespace

TextStyle ReceivedTextStyle(const TextStyleValues& values)
{
    TextStyle style;
    style.charset = values.charset;
    style.color = values.color;
    style.height = clampHeight(values.height);
    style.bold = values.bold;
    style.italic = values.italic;
    style.underline = values.underline;
    style.strikeout = values.strikeout;
    style.name = fromWire(values.fontName);
    return style;
}

TextStyle LoadTextStyle(const QString& setName, const TextStyle& current)
{
    TextStyle style = current;
    style.name = ReadFontName(setName, current.name);
    style.charset = ReadFontNumber(setName, FontNumber::Charset, current.charset);
    style.color = ReadFontNumber(setName, FontNumber::Color, current.color);
    style.height = ReadFontNumber(setName, FontNumber::Height, current.height);
    style.size = ReadFontNumber(setName, FontNumber::Size, current.size);
    style.bold = ReadFontStyle(setName, FontStyle::Bold);
    style.italic = ReadFontStyle(setName, FontStyle::Italic);
    style.underline = ReadFontStyle(setName, FontStyle::Underline);
    style.strikeout = ReadFontStyle(setName, FontStyle::Strikeout);
    return style;
}

void SaveTextStyle(const QString& setName, const TextStyle& style)
{
    WriteFontName(setName, style.name);
    WriteFontNumber(setName, FontNumber::Charset, style.charset);
    WriteFontNumber(setName, FontNumber::Color, style.color);
    WriteFontNumber(setName, FontNumber::Height, style.height);
    WriteFontNumber(setName, FontNumber::Size, style.size);
    WriteFontStyle(setName, FontStyle::Bold, style.bold);
    WriteFontStyle(setName, FontStyle::Italic, style.italic);
    WriteFontStyle(setName, FontStyle::Underline, style.underline);
    WriteFontStyle(setName, FontStyle::Strikeout, style.strikeout);
}

} // namespace kovrel

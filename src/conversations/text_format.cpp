// SPDX-License-Identifier: GPL-3.0-or-later
#include "text_format.h"

#include <QFontDatabase>
#include <QFontInfo>

#include <cstdlib>

namespace kovrel {

namespace {

QPalette::ColorRole systemColorRole(int index)
{
    switch (index) {
    case 5:
        return QPalette::Base;
    case 8:
        return QPalette::Text;
    case 15:
        return QPalette::Button;
    case 13:
        return QPalette::Highlight;
    case 14:
        return QPalette::HighlightedText;
    case 18:
        return QPalette::ButtonText;
    case 4:
        return QPalette::Window;
    case 9:
        return QPalette::WindowText;
    default:
        return QPalette::Text;
    }
}

// The face (as matched), size, height and style flags of `font`; the rest as in `previous`.
TextStyle fontAttributes(const QFont& font, const TextStyle& previous)
{
    const QFontInfo matched(font);
    TextStyle style = previous;
    style.name = matched.family();
    style.size = font.pointSize() > 0 ? font.pointSize() : matched.pointSize();
    style.height = -(font.pixelSize() > 0 ? font.pixelSize() : matched.pixelSize());
    style.bold = font.bold();
    style.italic = font.italic();
    style.underline = font.underline();
    style.strikeout = font.strikeOut();
    return style;
}

} // namespace

QColor ColorFromNumber(int number, const QPalette& palette)
{
    if (number < 0) {
        return palette.color(systemColorRole(number & 0xff));
    }
    return QColor(number & 0xff, (number >> 8) & 0xff, (number >> 16) & 0xff);
}

int NumberForColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return rgb.red() | (rgb.green() << 8) | (rgb.blue() << 16);
}

QTextCharFormat DefaultCharFormat(const QFont& font, const QPalette& palette)
{
    QTextCharFormat format;
    format.setFont(font);
    format.setForeground(palette.color(QPalette::Text));
    format.setProperty(kCharsetProperty, kDefaultCharset);
    return format;
}

QFont FontFromTextStyle(const TextStyle& style, const QFont& fallback)
{
    QFont font = fallback;
    if (!style.name.isEmpty()) {
        font.setFamilies({style.name});
    }
    // An attribute set is read height first and size last, so the size decides when both are given (a
    // hand-edited set may hold two that disagree).
    if (style.size > 0) {
        font.setPointSize(style.size);
    } else if (style.height != 0) {
        font.setPixelSize(std::abs(style.height));
    }
    font.setBold(style.bold);
    font.setItalic(style.italic);
    font.setUnderline(style.underline);
    font.setStrikeOut(style.strikeout);
    return font;
}

QTextCharFormat CharFormatFor(const TextStyle& style, const QTextCharFormat& fallback,
                              const QPalette& palette)
{
    TextStyle shown = style;
    if (!QFontDatabase::hasFamily(shown.name)) {
        shown.name = QFontInfo(fallback.font()).family();
    }
    QTextCharFormat format;
    format.setFont(FontFromTextStyle(shown, fallback.font()));
    format.setForeground(ColorFromNumber(style.color, palette));
    format.setProperty(kCharsetProperty, style.charset);
    return format;
}

TextStyle TextStyleFromChoice(const QFont& font, const QColor& color, const TextStyle& previous,
                              const QPalette& palette)
{
    TextStyle style = fontAttributes(font, previous);
    if (color != ColorFromNumber(previous.color, palette)) {
        style.color = NumberForColor(color);
    }
    return style;
}

TextStyle PlatformTextStyle(const QFont& font)
{
    TextStyle style;
    style.color = kWindowTextColor;
    return fontAttributes(font, style);
}

} // namespace kovrel

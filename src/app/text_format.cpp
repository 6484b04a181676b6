#include "text_format.h"

#include <QFontDatabase>
#include <QWidget>

namespace kovrel {

namespace {

constexpr int kSystemColorFlag = static_cast<int>(0x80000000u);

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

} // namespace

QColor ColorFromNumber(int number, const QPalette& palette)
{
    if (number < 0) {
        return palette.color(systemColorRole(number & 0xff));
    }
    return QColor(number & 0xff, (number >> 8) & 0xff, (number >> 16) & 0xff);
}

QTextCharFormat DefaultCharFormat(const QWidget* control)
{
    QTextCharFormat format;
    format.setFont(control->font());
    format.setForeground(control->palette().color(QPalette::Text));
    return format;
}

QFont FontFromTextStyle(const TextStyle& style, const QFont& fallback)
{
    QFont font = fallback;
    if (!style.name.isEmpty()) {
        font.setFamilies({style.name});
    }
    if (style.height != 0) {
        font.setPixelSize(std::abs(style.height));
    } else if (style.size > 0) {
        font.setPointSize(style.size);
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
    if (style.name.isEmpty() || !QFontDatabase::hasFamily(style.name)) {
        return fallback;
    }
    QTextCharFormat format;
    format.setFont(FontFromTextStyle(style, fallback.font()));
    format.setForeground(ColorFromNumber(style.color, palette));
    return format;
}

TextStyle TextStyleFromFont(const QFont& font, const TextStyle& previous)
{
    TextStyle style = previous;
    style.name = font.family();
    style.size = font.pointSize() > 0 ? font.pointSize() : previous.size;
    style.height = font.pixelSize() > 0 ? -font.pixelSize() : -QFontInfo(font).pixelSize();
    style.bold = font.bold();
    style.italic = font.italic();
    style.underline = font.underline();
    style.strikeout = font.strikeOut();
    return style;
}

} // namespace kovrel

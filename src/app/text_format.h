#pragma once

#include "text_style.h"

#include <QColor>
#include <QPalette>
#include <QTextCharFormat>

class QWidget;

namespace kovrel {

// A colour number as peers and the settings keep it: non-negative is 0x00BBGGRR, negative a system colour
// (0x80000000 | index) that maps to a palette role.
QColor ColorFromNumber(int number, const QPalette& palette);

// The colour number of the system's window text colour.
inline constexpr int kWindowTextColor = static_cast<int>(0x80000008u);

// The attributes a control writes its own lines in: its font and text colour.
QTextCharFormat DefaultCharFormat(const QWidget* control);

// The attributes of a text style; a face that is not installed (or none) gives `fallback`.
QTextCharFormat CharFormatFor(const TextStyle& style, const QTextCharFormat& fallback,
                              const QPalette& palette);

// A font dialog's choice as a text style (the colour stays that of `previous`), and back.
TextStyle TextStyleFromFont(const QFont& font, const TextStyle& previous);
QFont FontFromTextStyle(const TextStyle& style, const QFont& fallback);

} // namespace kovrel

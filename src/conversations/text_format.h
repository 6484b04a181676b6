// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "text_style.h"

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QTextCharFormat>

namespace kovrel {

// A colour number as peers and the settings keep it: non-negative is 0x00BBGGRR, negative a system colour
// (0x80000000 | index) that maps to a palette role.
QColor ColorFromNumber(int number, const QPalette& palette);
// The number of a plain colour: 0x00BBGGRR.
int NumberForColor(const QColor& color);

// The colour number of the system's window text colour.
inline constexpr int kWindowTextColor = static_cast<int>(0x80000008u);

// The font character set a line was written in (Qt keeps text as Unicode, but logs and peers keep the
// number).
inline constexpr int kCharsetProperty = QTextFormat::UserProperty + 1;
// The character set of text without one of its own.
inline constexpr int kDefaultCharset = 1;

// The attributes a control writes its own lines in: its font and text colour.
QTextCharFormat DefaultCharFormat(const QFont& font, const QPalette& palette);

// The attributes of a text style. A face that is not installed gives way to the face of `fallback`; size,
// colour and style flags still apply.
QTextCharFormat CharFormatFor(const TextStyle& style, const QTextCharFormat& fallback,
                              const QPalette& palette);

// `fallback` with the face, size and style flags of `style`. A point size, when the style gives one,
// decides over its height.
QFont FontFromTextStyle(const TextStyle& style, const QFont& fallback);
// A font and colour the user chose, as a text style. An unchanged colour keeps its number, so that a
// system colour stays one.
TextStyle TextStyleFromChoice(const QFont& font, const QColor& color, const TextStyle& previous,
                              const QPalette& palette);
// A font in the window text colour as a text style, under the real name of its face (what the font
// matched, not a generic name such as "Sans Serif", which receivers would not find installed).
TextStyle PlatformTextStyle(const QFont& font);

} // namespace kovrel

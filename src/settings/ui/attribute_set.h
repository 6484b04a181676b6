// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringView>

#include "text_format.h"
#include "text_style.h"

class QColor;
class QFont;
class QWidget;

namespace kovrel {

// The colour number of the system's window background colour (a control's base colour).
inline constexpr int kWindowColor = static_cast<int>(0x80000005u);

// The desktop's text colour, with TextStyle's defaults otherwise.
inline TextStyle SystemTextStyle()
{
    TextStyle style;
    style.color = kWindowTextColor;
    return style;
}

// What an attribute set gives a control: the font its text is drawn in (face, character set, text
// colour, height, size, style flags) and its background colour. Colours are colour numbers, so that a
// system colour stays one and follows the desktop's palette.
struct AttributeSet
{
    TextStyle font = SystemTextStyle();
    int background = kWindowColor;

    friend bool operator==(const AttributeSet&, const AttributeSet&) = default;
};

// Reads the set named `set`; every value that is not stored keeps the one of `current`, except the style
// flags, which are off unless stored on.
AttributeSet LoadAttributeSet(QStringView set, const AttributeSet& current);
// Stores every value of `attributes`, the background included. Raises SettingsError.
void SaveAttributeSet(QStringView set, const AttributeSet& attributes);

// The control's font, text colour and base colour. A colour that is the desktop palette's own colour of
// its role reads as that system colour's number.
AttributeSet AttributeSetOf(const QWidget* control);
// Gives the control the set's font, text colour and base colour; a scroll area's viewport (the page of a
// text or item view) takes the colours from it. System colours are taken from the desktop palette.
void ApplyAttributeSet(QWidget* control, const AttributeSet& attributes);

// `attributes` with the font and text colour the user chose for `control`, and with the background colour
// chosen for it. A colour left unchanged keeps its number, so that a system colour stays one.
AttributeSet WithChosenFont(const AttributeSet& attributes, const QFont& font, const QColor& color,
                            const QWidget* control);
AttributeSet WithChosenBackground(const AttributeSet& attributes, const QColor& color,
                                  const QWidget* control);

} // namespace kovrel

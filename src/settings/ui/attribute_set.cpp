// SPDX-License-Identifier: GPL-3.0-or-later
#include "attribute_set.h"

#include <QApplication>
#include <QColor>
#include <QPalette>
#include <QWidget>

#include "settings_layout.h"
#include "text_format.h"

namespace kovrel {

namespace {

// System colour numbers stand for the desktop's colours of a control of this kind, not for whatever
// colour a set gave the control before.
QPalette desktopPalette(const QWidget* control)
{
    return QApplication::palette(control);
}

QColor activeColor(const QWidget* control, QPalette::ColorRole role)
{
    return control->palette().color(QPalette::Active, role);
}

// A disabled control keeps the desktop's greyed colours.
void setEnabledColor(QPalette& palette, QPalette::ColorRole role, const QColor& color)
{
    palette.setColor(QPalette::Active, role, color);
    palette.setColor(QPalette::Inactive, role, color);
}

} // namespace

AttributeSet LoadAttributeSet(QStringView set, const AttributeSet& current)
{
    return {LoadTextStyle(set.toString(), current.font),
            ReadFontNumber(set, FontNumber::BackgroundColor, current.background)};
}

void SaveAttributeSet(QStringView set, const AttributeSet& attributes)
{
    SaveTextStyle(set.toString(), attributes.font);
    WriteFontNumber(set, FontNumber::BackgroundColor, attributes.background);
}

// The colours a control has read as their system colour numbers while they are the desktop's.
AttributeSet AttributeSetOf(const QWidget* control)
{
    const AttributeSet withFont =
        WithChosenFont(AttributeSet(), control->font(), activeColor(control, QPalette::Text), control);
    return WithChosenBackground(withFont, activeColor(control, QPalette::Base), control);
}

// A scroll area's viewport has no palette of its own, so it draws its page in the base colour set here.
void ApplyAttributeSet(QWidget* control, const AttributeSet& attributes)
{
    const QPalette desktop = desktopPalette(control);
    QPalette palette = control->palette();
    setEnabledColor(palette, QPalette::Text, ColorFromNumber(attributes.font.color, desktop));
    setEnabledColor(palette, QPalette::Base, ColorFromNumber(attributes.background, desktop));
    control->setPalette(palette);
    control->setFont(FontFromTextStyle(attributes.font, control->font()));
}

AttributeSet WithChosenFont(const AttributeSet& attributes, const QFont& font, const QColor& color,
                            const QWidget* control)
{
    AttributeSet chosen = attributes;
    chosen.font = TextStyleFromChoice(font, color, attributes.font, desktopPalette(control));
    return chosen;
}

AttributeSet WithChosenBackground(const AttributeSet& attributes, const QColor& color, const QWidget* control)
{
    AttributeSet chosen = attributes;
    if (color.rgb() != ColorFromNumber(attributes.background, desktopPalette(control)).rgb())
        chosen.background = NumberForColor(color);
    return chosen;
}

} // namespace kovrel

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <Qt>

#include "settings_layout.h"

namespace kovrel {

// The hot key a macro without one carries: it can only be chosen from the macro list.
inline constexpr QStringView kNoHotKey = u"None";

// The 75 texts a macro can be bound to, in the order the entry dialog offers them: "None", "Ctrl+A" to
// "Ctrl+Z", "F1" to "F12", then F1 to F12 with "Ctrl+", with "Shift+" and with "Shift+Ctrl+".
const QStringList& HotKeyTexts();

// The text of a key press: "Shift+", "Ctrl+" and "Alt+" for the modifiers held, in this order, then the
// key's name. The name comes from the key code, never from the text the keyboard layout gives, so that
// Ctrl with the A key is "Ctrl+A" under a Cyrillic layout too. A letter is its capital, a function key
// "F" and its number; any other key has a name that is not a hot key text ("Return", "Space", "1" ...).
QString KeyText(int key, Qt::KeyboardModifiers modifiers);

bool IsHotKey(const QString& text);

// The text of the first macro bound to the hot key pressed; empty when the press is no hot key or no
// macro is bound to it. So "None", or a name the store holds that is not a hot key, never matches.
QString FindMacro(const QList<Macro>& macros, int key, Qt::KeyboardModifiers modifiers);

} // namespace kovrel

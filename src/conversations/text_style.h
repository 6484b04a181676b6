// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dispatcher.h"

#include <QString>

namespace kovrel {

// A font record as the chat keeps it: the user's own outgoing style, or the style a peer announced for
// the lines that follow. Colour is the signed 32-bit colour number peers exchange (0x00BBGGRR, or a
// negative system colour); height follows the screen font convention (negative: pixel height).
struct TextStyle
{
    QString name;
    int charset = 1;
    int color = 0;
    int height = 0;
    int size = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;

    friend bool operator==(const TextStyle&, const TextStyle&) = default;
};

// Received heights are clamped to this many pixels either way: a peer must not make text unreadable or
// huge. Zero stays zero (the default size).
inline constexpr int kMinTextPixels = 6;
inline constexpr int kMaxTextPixels = 48;

TextStyle ReceivedTextStyle(const TextStyleValues& values);

// Reads an attribute set (face, character set, colour, height, size and style flags); every value that
// is not stored keeps the one of `current`, except the style flags, which are off unless stored on.
TextStyle LoadTextStyle(const QString& setName, const TextStyle& current);
void SaveTextStyle(const QString& setName, const TextStyle& style);

inline const QString kOutputStyleSet = QStringLiteral("OutputAttr");

} // namespace kovrel

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "rtf_format.h"

#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

// The font and colour tables of an RTF file, filled while the reader is inside them.
namespace kovrel::rtf {

// Longer face names are cut: the face is compared for every piece of text, and no real font has one.
inline constexpr qsizetype kMaxFaceLength = 256;

struct Font
{
    QString face;
    int charset = kDefaultCharset;
};

// Entries look like "{\f1\fnil\fcharset204 Tahoma;}", the group braces optional.
class FontTable
{
public:
    // \fN inside the table: starts the entry of font N, replacing an earlier one.
    void beginEntry(int number);
    void setCharset(int charset);
    void appendToFace(QStringView text);
    // The semicolon after the name, or the end of the entry's group.
    void endEntry();

    // The character set of the entry being read, which its name is written in.
    int entryCharset() const;
    const Font* find(int number) const;

private:
    std::map<int, Font> m_fonts;
    // Text outside an entry (before the first \f or after a semicolon) is not a name.
    std::optional<int> m_entry;
};

// Entries look like "\red255\green0\blue0;"; the first is usually empty, RTF's automatic colour.
class ColorTable
{
public:
    void setRed(int value) { setComponent(16, value); }
    void setGreen(int value) { setComponent(8, value); }
    void setBlue(int value) { setComponent(0, value); }
    void endEntry();

    // 0xRRGGBB of entry `index`; black for the automatic colour and for entries the table lacks.
    quint32 color(int index) const;

private:
    void setComponent(int shift, int value);

    std::vector<quint32> m_colors;
    quint32 m_entry = 0;
};

} // namespace kovrel::rtf

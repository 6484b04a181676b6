// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Character formatting as RTF control words carry it, shared by the writer and the reader.
namespace kovrel::rtf {

// The size \plain sets when a file names none.
inline constexpr int kPlainHalfPoints = 24;
// \cf0 names the first colour table entry, RTF's automatic colour; ours start after it.
inline constexpr int kAutomaticColor = 0;
inline constexpr int kFirstColor = 1;

// \fcharset1: the document's code page.
inline constexpr int kDefaultCharset = 1;

// Font and colour are numbers in the file's tables.
struct CharacterFormat
{
    int font = 0;
    int halfPoints = kPlainHalfPoints;
    int color = kAutomaticColor;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
};

} // namespace kovrel::rtf

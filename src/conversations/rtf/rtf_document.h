// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include <string>
#include <string_view>
#include <vector>

// The text of a conversation page as lines of runs, each run with its character attributes, saved as
// Rich Text Format and loaded back, also from what common word processors write.
namespace kovrel::rtf {

struct Attributes
{
    // Font family; empty: the document's default.
    QString face;
    // The font's character set number as \fcharset keeps it: 204 Cyrillic, 0 ANSI, 1 default.
    int charset = 1;
    // 0xRRGGBB; higher bits are not saved.
    quint32 rgb = 0;
    // Size in half points (\fs).
    int halfPoints = 20;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;

    friend bool operator==(const Attributes&, const Attributes&) = default;
};

struct Run
{
    // A line break inside a run (LF, CR LF or CR) is saved as \line and comes back as LF.
    QString text;
    Attributes attributes;

    friend bool operator==(const Run&, const Run&) = default;
};

struct Line
{
    // Runs with empty text are not saved; adjacent runs with equal attributes come back as one.
    std::vector<Run> runs;

    friend bool operator==(const Line&, const Line&) = default;
};

struct Document
{
    std::vector<Line> lines;

    friend bool operator==(const Document&, const Document&) = default;
};

// Sizes a loaded document may give (a word processor's 1 to 1638 points); others are clamped.
inline constexpr int kMinHalfPoints = 2;
inline constexpr int kMaxHalfPoints = 3276;

// The bytes of an RTF file in Windows-1251 holding `document`; the same document gives the same bytes.
std::string WriteRtf(const Document& document);

// Reads RTF, or plain text when `bytes` do not start with "{\rtf" (after blanks and a UTF-8 byte order
// mark): UTF-8 when they are valid UTF-8, else Windows-1251, one run with default attributes a line.
// Any input gives a document no longer than itself, in time linear in its size.
Document ReadDocument(std::string_view bytes);

} // namespace kovrel::rtf

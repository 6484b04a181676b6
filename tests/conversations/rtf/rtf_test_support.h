// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "rtf_document.h"

#include <QString>

#include <fstream>
#include <ostream>
#include <sstream>
#include <string>

// Printers that name the differing run in failure messages, and short ways to write expected documents.
namespace kovrel::rtf {

inline void PrintTo(const Attributes& attributes, std::ostream* out)
{
    *out << "{\"" << attributes.face.toStdString() << "\" charset " << attributes.charset << " rgb "
         << std::hex << attributes.rgb << std::dec << " size " << attributes.halfPoints
         << (attributes.bold ? " bold" : "") << (attributes.italic ? " italic" : "")
         << (attributes.underline ? " underline" : "") << (attributes.strikeout ? " strikeout" : "") << "}";
}

inline void PrintTo(const Run& run, std::ostream* out)
{
    *out << '"' << run.text.toStdString() << "\" ";
    PrintTo(run.attributes, out);
}

inline void PrintTo(const Line& line, std::ostream* out)
{
    *out << "[";
    for (const Run& run : line.runs) {
        *out << "\n    ";
        PrintTo(run, out);
    }
    *out << "]";
}

inline void PrintTo(const Document& document, std::ostream* out)
{
    for (const Line& line : document.lines) {
        *out << "\n  ";
        PrintTo(line, out);
    }
}

namespace test {

// What RTF gives text that names no font, size or colour.
inline Attributes rtfDefaults()
{
    Attributes attributes;
    attributes.halfPoints = 24;
    return attributes;
}

inline Attributes font(const char* face, int charset, int halfPoints)
{
    Attributes attributes;
    attributes.face = QString::fromUtf8(face);
    attributes.charset = charset;
    attributes.halfPoints = halfPoints;
    return attributes;
}

inline Attributes switchedOn(Attributes attributes, bool Attributes::*flag)
{
    attributes.*flag = true;
    return attributes;
}

inline Attributes bold(const Attributes& attributes)
{
    return switchedOn(attributes, &Attributes::bold);
}

inline Attributes italic(const Attributes& attributes)
{
    return switchedOn(attributes, &Attributes::italic);
}

inline Attributes underlined(const Attributes& attributes)
{
    return switchedOn(attributes, &Attributes::underline);
}

inline Attributes struckOut(const Attributes& attributes)
{
    return switchedOn(attributes, &Attributes::strikeout);
}

inline Attributes colored(Attributes attributes, quint32 rgb)
{
    attributes.rgb = rgb;
    return attributes;
}

inline Run run(const char* utf8, const Attributes& attributes)
{
    return Run{QString::fromUtf8(utf8), attributes};
}

inline Line plainLine(const char* utf8)
{
    return Line{{Run{QString::fromUtf8(utf8), Attributes{}}}};
}

inline std::string readDataFile(const std::string& name)
{
    std::ifstream file(std::string(KOVREL_TEST_DATA_DIR "/rtf/") + name, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

} // namespace test
} // namespace kovrel::rtf

// SPDX-License-Identifier: GPL-3.0-or-later
#include "wire_tool.h"

#include "cp1251.h"
#include "packet.h"
#include "packet_reader.h"

#include <array>
#include <istream>
#include <ostream>

namespace kovrel::wire {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int hexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Decodes the escape that starts at `escaped[at]` (a backslash); returns its length, or 0 when invalid.
std::size_t takeEscape(std::string_view escaped, std::size_t at, char& c)
{
    if (at + 1 >= escaped.size()) {
        return 0;
    }
    switch (escaped[at + 1]) {
    case '\\':
        c = '\\';
        return 2;
    case 'n':
        c = '\n';
        return 2;
    case 'r':
        c = '\r';
        return 2;
    case 't':
        c = '\t';
        return 2;
    case 'x': {
        const int high = at + 2 < escaped.size() ? hexValue(escaped[at + 2]) : -1;
        const int low = at + 3 < escaped.size() ? hexValue(escaped[at + 3]) : -1;
        if (high < 0 || low < 0) {
            return 0;
        }
        c = static_cast<char>(high * 16 + low);
        return 4;
    }
    default:
        return 0;
    }
}

void reportDecodeProblem(std::ostream& errors, std::size_t offset, std::string_view what)
{
    errors << "kovrel-wire: at byte " << offset << ": " << what << '\n';
}

} // namespace

std::string escapeText(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            escaped += "\\\\";
        } else if (c == '\n') {
            escaped += "\\n";
        } else if (c == '\r') {
            escaped += "\\r";
        } else if (c == '\t') {
            escaped += "\\t";
        } else if (byte < 0x20 || byte == 0x7f) {
            escaped += {'\\', 'x', kHexDigits[byte >> 4], kHexDigits[byte & 15]};
        } else {
            escaped += c;
        }
    }
    return escaped;
}

bool unescapeText(std::string_view escaped, std::string& text, std::string& error)
{
    text.clear();
    for (std::size_t at = 0; at < escaped.size();) {
        if (escaped[at] != '\\') {
            text += escaped[at++];
            continue;
        }
        char c = 0;
        const std::size_t length = takeEscape(escaped, at, c);
        if (length == 0) {
            error = "unknown escape at column " + std::to_string(at + 1) + " (a backslash is written \\\\)";
            return false;
        }
        text += c;
        at += length;
    }
    return true;
}

int encodeStream(std::istream& in, std::ostream& out, std::ostream& errors)
{
    int status = 0;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        // A raw CR at the end is the line break of a file saved on Windows; a wanted CR is written \r.
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::string utf8;
        std::string error;
        if (!unescapeText(line, utf8, error)) {
            errors << "kovrel-wire: line " << number << ": " << error << '\n';
            status = 1;
            continue;
        }
        const std::string text = cp1251::fromUtf8(utf8);
        if (text.find('\0') != std::string::npos) {
            errors << "kovrel-wire: line " << number << ": a field cannot hold a zero byte\n";
            status = 1;
            continue;
        }
        try {
            std::string framed;
            AppendFramedField(framed, text);
            out << framed;
        } catch (const FieldTooLong& tooLong) {
            errors << "kovrel-wire: line " << number << ": " << tooLong.what() << '\n';
            status = 1;
        }
    }
    out.flush();
    return status;
}

int decodeStream(std::istream& in, std::ostream& out, std::ostream& errors)
{
    int status = 0;
    PacketReader reader;
    std::size_t offset = 0;
    std::array<char, 64 * 1024> buffer;
    while (in.read(buffer.data(), buffer.size()) || in.gcount() > 0) {
        const auto size = static_cast<std::size_t>(in.gcount());
        const PacketReader::FeedResult result = reader.feed(std::string_view(buffer.data(), size));
        for (const std::string& field : reader.takeFields(reader.queuedFields())) {
            out << escapeText(cp1251::toUtf8(field)) << '\n';
        }
        offset += size;
        if (result.outOfStep) {
            reportDecodeProblem(errors, offset - result.bytesDropped,
                                "length prefix is not five digits: frames out of step, " +
                                    std::to_string(result.bytesDropped) + " bytes skipped");
            status = 1;
        }
    }
    if (reader.unfinishedBytes() > 0) {
        reportDecodeProblem(errors, offset - reader.unfinishedBytes(),
                            "stream ends inside a frame: " + std::to_string(reader.unfinishedBytes()) +
                                " bytes of an unfinished field");
        status = 1;
    }
    out.flush();
    return status;
}

} // namespace kovrel::wire

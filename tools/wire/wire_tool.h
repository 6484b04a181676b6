// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

// The work of `kovrel-wire`, apart from the command line, so that it can be tested on string streams.
namespace kovrel::wire {

// Shows a field text on one line: backslash and control characters become escapes (\\, \n, \r, \t,
// \xHH), so that a field with line breaks stays one line and nothing from the network reaches the
// terminal as a control sequence.
std::string escapeText(std::string_view text);

// Reverses escapeText. Returns false, with `error` set, for an unknown or unfinished escape.
bool unescapeText(std::string_view escaped, std::string& text, std::string& error);

// Reads UTF-8 lines, writes one framed field per line, concatenated. Returns the exit status: 0, or 1
// when a line could not be encoded (reported on `errors`, and skipped).
int encodeStream(std::istream& in, std::ostream& out, std::ostream& errors);

// Reads a byte stream, writes one decoded field per line as escaped UTF-8. Returns 0 for a clean stream,
// 1 when frames were out of step or the stream ended inside a frame (reported on `errors`).
int decodeStream(std::istream& in, std::ostream& out, std::ostream& errors);

} // namespace kovrel::wire

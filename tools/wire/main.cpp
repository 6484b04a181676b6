// SPDX-License-Identifier: GPL-3.0-or-later
#include "wire_tool.h"

#include <cstring>
#include <iostream>

#include "kovrel_version.h"

namespace {

constexpr char kUsage[] = R"(Usage: kovrel-wire encode | decode | --help | --version

Encodes and decodes Kovrel chat traffic: every field is enciphered, made
zero-free and framed by its five-digit length; text on the wire is cp1251.

  encode   Reads message texts, one per line (UTF-8), from standard input and
           writes one framed field per line to standard output, concatenated,
           nothing else. Characters cp1251 cannot hold become "?".
  decode   Reads a byte stream (for example a captured TCP stream) from
           standard input and prints one decoded field per line (UTF-8).
           Frames that end short or are out of step are reported on standard
           error; the exit status is 0 only for a clean stream.

Both sides write a field's backslash as \\ and its control characters as
\n, \r, \t or \xHH, so that every field is one line and decode | encode gives
back the same bytes.

Examples:
  printf 'AddUser|Вася\nAllUser|Вася|Привет!\n' | kovrel-wire encode > packet.bin
  kovrel-wire decode < packet.bin

Exit status: 0 success, 1 a line or a frame could not be handled, 2 usage.
)";

} // namespace

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    const char* command = argc == 2 ? argv[1] : "";
    if (std::strcmp(command, "--help") == 0 || std::strcmp(command, "-h") == 0) {
        std::cout << kUsage;
        return 0;
    }
    if (std::strcmp(command, "--version") == 0) {
        std::cout << "kovrel-wire " << kovrel::kVersion << '\n';
        return 0;
    }
    if (std::strcmp(command, "encode") == 0) {
        return kovrel::wire::encodeStream(std::cin, std::cout, std::cerr);
    }
    if (std::strcmp(command, "decode") == 0) {
        return kovrel::wire::decodeStream(std::cin, std::cout, std::cerr);
    }
    std::cerr << kUsage;
    return 2;
}

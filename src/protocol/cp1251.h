// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

// Windows-1251, the single-byte code page of every text on the wire.
namespace kovrel::cp1251 {

// Characters that Windows-1251 cannot hold, and malformed UTF-8, become "?".
std::string fromUtf8(std::string_view utf8);
std::string toUtf8(std::string_view text);

char toLower(char c);
// Compares two texts without regard to letter case, Cyrillic included.
bool equalsIgnoringCase(std::string_view a, std::string_view b);
std::string toLowerCase(std::string_view text);

} // namespace kovrel::cp1251

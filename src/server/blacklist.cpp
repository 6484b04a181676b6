// SPDX-License-Identifier: GPL-3.0-or-later
#include "blacklist.h"

#include <fstream>
#include <string>

#include "message_text.h"

namespace kovrel::server {
namespace {

std::string_view trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

} // namespace

Blacklist Blacklist::load(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw BadFile("cannot read blacklist " + file.string());
    }
    return parse(in, file.string());
}

Blacklist Blacklist::parse(std::istream& in, std::string_view sourceName)
{
    Blacklist blacklist;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string_view entry = trimmed(std::string_view(line).substr(0, line.find('#')));
        if (entry.empty()) {
            continue;
        }
        const auto address = parseDottedIpv4(entry);
        if (!address) {
            throw BadFile(std::string(sourceName) + ":" + std::to_string(number) + ": \"" + printable(entry) +
                          "\" is not a dotted IPv4 address");
        }
        blacklist.m_addresses.insert(*address);
    }
    return blacklist;
}

bool Blacklist::contains(std::string_view dottedAddress) const
{
    const auto address = parseDottedIpv4(dottedAddress);
    return address && contains(*address);
}

} // namespace kovrel::server

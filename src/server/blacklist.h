// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <istream>
#include <stdexcept>
#include <string_view>
#include <unordered_set>

namespace kovrel::server {

// Addresses that may not connect. The file holds one dotted IPv4 address per line; "#" starts a comment,
// blank lines are skipped.
class Blacklist
{
public:
    // Names the file and the line of the first entry that is not an address.
    class BadFile : public std::runtime_error
    {
    public:
        using std::runtime_error::runtime_error;
    };

    static Blacklist load(const std::filesystem::path& file);
    static Blacklist parse(std::istream& in, std::string_view sourceName);

    bool contains(std::uint32_t address) const { return m_addresses.contains(address); }
    bool contains(std::string_view dottedAddress) const;
    std::size_t size() const { return m_addresses.size(); }

private:
    std::unordered_set<std::uint32_t> m_addresses;
};

} // namespace kovrel::server

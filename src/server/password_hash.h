// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kovrel::server {

// The cost of scrypt: N = 2^log2N rounds of r blocks each (memory: 128 * r * N bytes), p times over.
struct ScryptCost
{
    unsigned log2N = 15;
    std::uint32_t r = 8;
    std::uint32_t p = 1;

    friend bool operator==(const ScryptCost&, const ScryptCost&) = default;
};

// A password as it is kept: never the password itself, but scrypt's key derived from it and a random salt,
// with the cost that derived it. Its text says all that, so that a later cost can sit beside older ones:
// "$scrypt$ln=15,r=8,p=1$SALT$KEY", salt and key in base64 without padding.
struct PasswordHash
{
    static constexpr std::size_t kSaltSize = 16;
    static constexpr std::size_t kKeySize = 32;

    ScryptCost cost;
    std::string salt;
    std::string key;

    std::string text() const;
    // Nothing for a text of another form, or a cost beyond what a server takes on (see kMaxMemory).
    static std::optional<PasswordHash> parse(std::string_view text);

    friend bool operator==(const PasswordHash&, const PasswordHash&) = default;
};

// The most memory one derivation may take: a kept hash that asks for more is not derived at all.
inline constexpr std::uint64_t kMaxScryptMemory = 64 * 1024 * 1024;

// scrypt's key of `size` bytes (OpenSSL's EVP_KDF "SCRYPT"); throws std::runtime_error when it fails.
// Takes tens of milliseconds and 32 MiB at the default cost: never on a thread that serves connections.
std::string deriveKey(std::string_view password, std::string_view salt, ScryptCost cost, std::size_t size);

// The text of a new hash of `password`, with a fresh random salt, at the default cost.
std::string hashPassword(std::string_view password);

// Whether `password` derives the key of the hash in `text`, compared in constant time; false for a text
// that is not such a hash.
bool passwordMatches(std::string_view password, std::string_view text);

} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kovrel {

inline constexpr std::size_t kDesBlockSize = 8;

using DesBlock = std::array<std::uint8_t, kDesBlockSize>;
using DesKey = std::array<std::uint8_t, kDesBlockSize>;

// The sixteen round keys of one DES key, computed once. Each row holds the 48 key bits in the layout the
// round function consumes: the six-bit pieces for S1, S3, S5, S7 in `odd`, for S2, S4, S6, S8 in `even`,
// one piece in the low six bits of each byte.
class DesKeySchedule
{
public:
    struct RoundKey
    {
        std::uint32_t odd = 0;
        std::uint32_t even = 0;
    };

    explicit DesKeySchedule(const DesKey& key);

    // Enciphers or deciphers `count` consecutive 8-byte blocks in electronic code book mode; `in` and
    // `out` may be the same buffer. Independent blocks go through the rounds side by side.
    void encrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t count) const;
    void decrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t count) const;

private:
    std::array<RoundKey, 16> m_encryptKeys;
    std::array<RoundKey, 16> m_decryptKeys;
};

// Single-block DES with any key; builds the key schedule on each call.
DesBlock DesEncryptBlock(const DesBlock& block, const DesKey& key);
DesBlock DesDecryptBlock(const DesBlock& block, const DesKey& key);

} // namespace kovrel

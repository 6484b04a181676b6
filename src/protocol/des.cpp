// SPDX-License-Identifier: GPL-3.0-or-later
#include "des.h"

#include <algorithm>

// DES as FIPS 46 defines it. The tables below are the standard's, with bits numbered from 1 = most
// significant; everything the rounds use at run time is derived from them at compile time.

namespace kovrel {
namespace {

constexpr std::array<std::uint8_t, 56> kPermutedChoice1 = {
    57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18, 10, 2,  59, 51, 43,
    35, 27, 19, 11, 3,  60, 52, 44, 36, 63, 55, 47, 39, 31, 23, 15, 7,  62, 54,
    46, 38, 30, 22, 14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4,
};

constexpr std::array<std::uint8_t, 48> kPermutedChoice2 = {
    14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,  26, 8,  16, 7,  27, 20, 13, 2,
    41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32,
};

constexpr std::array<std::uint8_t, 16> kKeyRotations = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

constexpr std::array<std::uint8_t, 32> kPermutationP = {
    16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
    2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25,
};

// kSBoxes[box][row][column]
constexpr std::uint8_t kSBoxes[8][4][16] = {
    {{14, 4, 13, 1, 2, 15, 11, 8, 3, 10, 6, 12, 5, 9, 0, 7},
     {0, 15, 7, 4, 14, 2, 13, 1, 10, 6, 12, 11, 9, 5, 3, 8},
     {4, 1, 14, 8, 13, 6, 2, 11, 15, 12, 9, 7, 3, 10, 5, 0},
     {15, 12, 8, 2, 4, 9, 1, 7, 5, 11, 3, 14, 10, 0, 6, 13}},
    {{15, 1, 8, 14, 6, 11, 3, 4, 9, 7, 2, 13, 12, 0, 5, 10},
     {3, 13, 4, 7, 15, 2, 8, 14, 12, 0, 1, 10, 6, 9, 11, 5},
     {0, 14, 7, 11, 10, 4, 13, 1, 5, 8, 12, 6, 9, 3, 2, 15},
     {13, 8, 10, 1, 3, 15, 4, 2, 11, 6, 7, 12, 0, 5, 14, 9}},
    {{10, 0, 9, 14, 6, 3, 15, 5, 1, 13, 12, 7, 11, 4, 2, 8},
     {13, 7, 0, 9, 3, 4, 6, 10, 2, 8, 5, 14, 12, 11, 15, 1},
     {13, 6, 4, 9, 8, 15, 3, 0, 11, 1, 2, 12, 5, 10, 14, 7},
     {1, 10, 13, 0, 6, 9, 8, 7, 4, 15, 14, 3, 11, 5, 2, 12}},
    {{7, 13, 14, 3, 0, 6, 9, 10, 1, 2, 8, 5, 11, 12, 4, 15},
     {13, 8, 11, 5, 6, 15, 0, 3, 4, 7, 2, 12, 1, 10, 14, 9},
     {10, 6, 9, 0, 12, 11, 7, 13, 15, 1, 3, 14, 5, 2, 8, 4},
     {3, 15, 0, 6, 10, 1, 13, 8, 9, 4, 5, 11, 12, 7, 2, 14}},
    {{2, 12, 4, 1, 7, 10, 11, 6, 8, 5, 3, 15, 13, 0, 14, 9},
     {14, 11, 2, 12, 4, 7, 13, 1, 5, 0, 15, 10, 3, 9, 8, 6},
     {4, 2, 1, 11, 10, 13, 7, 8, 15, 9, 12, 5, 6, 3, 0, 14},
     {11, 8, 12, 7, 1, 14, 2, 13, 6, 15, 0, 9, 10, 4, 5, 3}},
    {{12, 1, 10, 15, 9, 2, 6, 8, 0, 13, 3, 4, 14, 7, 5, 11},
     {10, 15, 4, 2, 7, 12, 9, 5, 6, 1, 13, 14, 0, 11, 3, 8},
     {9, 14, 15, 5, 2, 8, 12, 3, 7, 0, 4, 10, 1, 13, 11, 6},
     {4, 3, 2, 12, 9, 5, 15, 10, 11, 14, 1, 7, 6, 0, 8, 13}},
    {{4, 11, 2, 14, 15, 0, 8, 13, 3, 12, 9, 7, 5, 10, 6, 1},
     {13, 0, 11, 7, 4, 9, 1, 10, 14, 3, 5, 12, 2, 15, 8, 6},
     {1, 4, 11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5, 9, 2},
     {6, 11, 13, 8, 1, 4, 10, 7, 9, 5, 0, 15, 14, 2, 3, 12}},
    {{13, 2, 8, 4, 6, 15, 11, 1, 10, 9, 3, 14, 5, 0, 12, 7},
     {1, 15, 13, 8, 10, 3, 7, 4, 12, 5, 6, 11, 0, 14, 9, 2},
     {7, 11, 4, 1, 9, 12, 14, 2, 0, 6, 10, 13, 15, 3, 5, 8},
     {2, 1, 14, 7, 4, 10, 8, 13, 15, 12, 9, 0, 3, 5, 6, 11}},
};

// Bit `position` (1 = most significant) of a `width`-bit value.
constexpr std::uint64_t bitAt(std::uint64_t value, unsigned width, unsigned position)
{
    return (value >> (width - position)) & 1;
}

template <std::size_t N>
constexpr std::uint64_t permute(std::uint64_t value, unsigned width, const std::array<std::uint8_t, N>& table)
{
    std::uint64_t result = 0;
    for (std::uint8_t position : table) {
        result = (result << 1) | bitAt(value, width, position);
    }
    return result;
}

// kSpTables[box][six input bits]: the S-box output moved to its place in the 32-bit word and put through
// P, so that a round is eight look-ups joined by XOR.
using SpTables = std::array<std::array<std::uint32_t, 64>, 8>;

constexpr SpTables makeSpTables()
{
    SpTables tables{};
    for (unsigned box = 0; box < 8; ++box) {
        for (unsigned input = 0; input < 64; ++input) {
            const unsigned row = ((input >> 4) & 2) | (input & 1);
            const unsigned column = (input >> 1) & 15;
            const std::uint64_t placed = std::uint64_t{kSBoxes[box][row][column]} << (28 - 4 * box);
            tables[box][input] = static_cast<std::uint32_t>(permute(placed, 32, kPermutationP));
        }
    }
    return tables;
}

constexpr SpTables kSpTables = makeSpTables();

constexpr std::uint32_t rotateLeft(std::uint32_t value, unsigned count)
{
    return (value << count) | (value >> (32 - count));
}

// The round function f(R, K). The expansion E gives S-box i the bits 4i-4 … 4i+1 of R (cyclically);
// rotating R right by 3 lines up the inputs of S1, S3, S5, S7 in the low six bits of each byte, and
// rotating it left by 1 does the same for S2, S4, S6, S8.
inline std::uint32_t roundFunction(std::uint32_t right, DesKeySchedule::RoundKey key)
{
    const std::uint32_t odd = (rotateLeft(right, 29) ^ key.odd) & 0x3f3f3f3f;
    const std::uint32_t even = (rotateLeft(right, 1) ^ key.even) & 0x3f3f3f3f;
    return kSpTables[0][odd >> 24] ^ kSpTables[2][(odd >> 16) & 0xff] ^ kSpTables[4][(odd >> 8) & 0xff] ^
           kSpTables[6][odd & 0xff] ^ kSpTables[1][even >> 24] ^ kSpTables[3][(even >> 16) & 0xff] ^
           kSpTables[5][(even >> 8) & 0xff] ^ kSpTables[7][even & 0xff];
}

// Exchanges the bits of `a >> shift` selected by `mask` with the same bits of `b`.
inline void swapBits(std::uint32_t& a, std::uint32_t& b, unsigned shift, std::uint32_t mask)
{
    const std::uint32_t delta = ((a >> shift) ^ b) & mask;
    b ^= delta;
    a ^= delta << shift;
}

// The initial permutation IP as five bit-group exchanges between the halves; IP⁻¹ is the same
// exchanges in reverse order.
inline void initialPermutation(std::uint32_t& left, std::uint32_t& right)
{
    swapBits(left, right, 4, 0x0f0f0f0f);
    swapBits(left, right, 16, 0x0000ffff);
    swapBits(right, left, 2, 0x33333333);
    swapBits(right, left, 8, 0x00ff00ff);
    swapBits(left, right, 1, 0x55555555);
}

inline void finalPermutation(std::uint32_t& left, std::uint32_t& right)
{
    swapBits(left, right, 1, 0x55555555);
    swapBits(right, left, 8, 0x00ff00ff);
    swapBits(right, left, 2, 0x33333333);
    swapBits(left, right, 16, 0x0000ffff);
    swapBits(left, right, 4, 0x0f0f0f0f);
}

inline std::uint32_t loadBigEndian(const std::uint8_t* bytes)
{
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 |
           std::uint32_t{bytes[3]};
}

inline void storeBigEndian(std::uint32_t value, std::uint8_t* bytes)
{
    bytes[0] = static_cast<std::uint8_t>(value >> 24);
    bytes[1] = static_cast<std::uint8_t>(value >> 16);
    bytes[2] = static_cast<std::uint8_t>(value >> 8);
    bytes[3] = static_cast<std::uint8_t>(value);
}

// Runs `Lanes` blocks through the sixteen rounds together: each round of one block depends on the round
// before, but the blocks do not depend on each other, so the processor overlaps their work.
template <std::size_t Lanes>
void cryptLanes(const std::array<DesKeySchedule::RoundKey, 16>& keys, const std::uint8_t* in,
                std::uint8_t* out)
{
    std::uint32_t left[Lanes];
    std::uint32_t right[Lanes];
#pragma GCC unroll 8
    for (std::size_t lane = 0; lane < Lanes; ++lane) {
        left[lane] = loadBigEndian(in + lane * kDesBlockSize);
        right[lane] = loadBigEndian(in + lane * kDesBlockSize + 4);
        initialPermutation(left[lane], right[lane]);
    }
    for (std::size_t round = 0; round < 16; round += 2) {
#pragma GCC unroll 8
        for (std::size_t lane = 0; lane < Lanes; ++lane) {
            left[lane] ^= roundFunction(right[lane], keys[round]);
        }
#pragma GCC unroll 8
        for (std::size_t lane = 0; lane < Lanes; ++lane) {
            right[lane] ^= roundFunction(left[lane], keys[round + 1]);
        }
    }
    // The rounds leave L16 in `left` and R16 in `right`; the output is IP⁻¹ of R16 L16.
#pragma GCC unroll 8
    for (std::size_t lane = 0; lane < Lanes; ++lane) {
        finalPermutation(right[lane], left[lane]);
        storeBigEndian(right[lane], out + lane * kDesBlockSize);
        storeBigEndian(left[lane], out + lane * kDesBlockSize + 4);
    }
}

void cryptBlocks(const std::array<DesKeySchedule::RoundKey, 16>& keys, const std::uint8_t* in,
                 std::uint8_t* out, std::size_t count)
{
    constexpr std::size_t kLanes = 4;
    for (; count >= kLanes; count -= kLanes) {
        cryptLanes<kLanes>(keys, in, out);
        in += kLanes * kDesBlockSize;
        out += kLanes * kDesBlockSize;
    }
    for (; count > 0; --count) {
        cryptLanes<1>(keys, in, out);
        in += kDesBlockSize;
        out += kDesBlockSize;
    }
}

std::uint64_t loadKey(const DesKey& key)
{
    std::uint64_t value = 0;
    for (std::uint8_t byte : key) {
        value = (value << 8) | byte;
    }
    return value;
}

// Rotates a 28-bit half of the key left.
constexpr std::uint32_t rotateHalf(std::uint32_t half, unsigned count)
{
    return ((half << count) | (half >> (28 - count))) & 0x0fffffff;
}

// Spreads the 48 bits of a round key into the per-byte layout of RoundKey: piece i of six bits goes to
// the byte that roundFunction() uses for S-box i.
DesKeySchedule::RoundKey spreadRoundKey(std::uint64_t bits48)
{
    DesKeySchedule::RoundKey key;
    for (unsigned box = 0; box < 8; ++box) {
        const auto piece = static_cast<std::uint32_t>((bits48 >> (42 - 6 * box)) & 0x3f);
        const unsigned byteShift = 24 - 8 * (box / 2);
        (box % 2 == 0 ? key.odd : key.even) |= piece << byteShift;
    }
    return key;
}

} // namespace

DesKeySchedule::DesKeySchedule(const DesKey& key)
{
    const std::uint64_t permuted = permute(loadKey(key), 64, kPermutedChoice1);
    auto c = static_cast<std::uint32_t>(permuted >> 28);
    auto d = static_cast<std::uint32_t>(permuted & 0x0fffffff);
    for (std::size_t round = 0; round < 16; ++round) {
        c = rotateHalf(c, kKeyRotations[round]);
        d = rotateHalf(d, kKeyRotations[round]);
        const std::uint64_t joined = (std::uint64_t{c} << 28) | d;
        m_encryptKeys[round] = spreadRoundKey(permute(joined, 56, kPermutedChoice2));
    }
    std::reverse_copy(m_encryptKeys.begin(), m_encryptKeys.end(), m_decryptKeys.begin());
}

void DesKeySchedule::encrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t count) const
{
    cryptBlocks(m_encryptKeys, in, out, count);
}

void DesKeySchedule::decrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t count) const
{
    cryptBlocks(m_decryptKeys, in, out, count);
}

DesBlock DesEncryptBlock(const DesBlock& block, const DesKey& key)
{
    DesBlock result;
    DesKeySchedule(key).encrypt(block.data(), result.data(), 1);
    return result;
}

DesBlock DesDecryptBlock(const DesBlock& block, const DesKey& key)
{
    DesBlock result;
    DesKeySchedule(key).decrypt(block.data(), result.data(), 1);
    return result;
}

} // namespace kovrel

// SPDX-License-Identifier: GPL-3.0-or-later
#include "field_cipher.h"

#include "des.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace kovrel {
namespace {

const DesKeySchedule& fieldKeySchedule()
{
    static const DesKeySchedule schedule([] {
        DesKey key;
        std::copy_n(kFieldKey, key.size(), key.begin());
        return key;
    }());
    return schedule;
}

// Blocks handled per pass: enough for the cipher to keep several blocks in flight, small enough for the
// stack.
constexpr std::size_t kBatchBlocks = 32;

using Bytes = unsigned char;

// Replaces zero bytes of a cipher block by 255 and returns the zero map byte.
Bytes substituteZeros(Bytes* block)
{
    unsigned map = 0;
    for (unsigned i = 0; i < kDesBlockSize; ++i) {
        if (block[i] == 0) {
            block[i] = 0xff;
            map |= 1u << i;
        }
    }
    return map == 0 ? kNoZerosMap : static_cast<Bytes>(map);
}

// Puts back the zero bytes that a map byte records.
void restoreZeros(Bytes* block, Bytes map)
{
    if (map == kNoZerosMap) {
        return;
    }
    for (unsigned i = 0; i < kDesBlockSize; ++i) {
        if (map & (1u << i)) {
            block[i] = 0;
        }
    }
}

} // namespace

std::string EncodeField(std::string_view text)
{
    std::string encoded(EncodedFieldSize(text.size()), '\0');
    auto* out = reinterpret_cast<Bytes*>(encoded.data());
    const auto* in = reinterpret_cast<const Bytes*>(text.data());
    std::size_t remaining = text.size();
    std::array<Bytes, kBatchBlocks * kDesBlockSize> batch;
    while (remaining > 0) {
        const std::size_t taken = std::min(remaining, batch.size());
        const std::size_t blocks = (taken + kDesBlockSize - 1) / kDesBlockSize;
        // A short last piece ends with a zero byte; the rest of its block does not matter.
        std::memcpy(batch.data(), in, taken);
        std::memset(batch.data() + taken, 0, blocks * kDesBlockSize - taken);
        fieldKeySchedule().encrypt(batch.data(), batch.data(), blocks);
        for (std::size_t block = 0; block < blocks; ++block) {
            Bytes* group = out + block * kCipherGroupSize;
            std::memcpy(group, batch.data() + block * kDesBlockSize, kDesBlockSize);
            group[kDesBlockSize] = substituteZeros(group);
        }
        in += taken;
        out += blocks * kCipherGroupSize;
        remaining -= taken;
    }
    return encoded;
}

std::string DecodeField(std::string_view encoded)
{
    std::string text;
    text.reserve((encoded.size() + kCipherGroupSize - 1) / kCipherGroupSize * kDesBlockSize);
    const auto* in = reinterpret_cast<const Bytes*>(encoded.data());
    std::size_t remaining = encoded.size();
    std::array<Bytes, kBatchBlocks * kDesBlockSize> batch;
    while (remaining > 0) {
        std::size_t blocks = 0;
        for (; blocks < kBatchBlocks && remaining > 0; ++blocks) {
            std::array<Bytes, kCipherGroupSize> group{};
            const std::size_t taken = std::min(remaining, kCipherGroupSize);
            std::memcpy(group.data(), in, taken);
            const Bytes map = taken == kCipherGroupSize ? group[kDesBlockSize] : kNoZerosMap;
            restoreZeros(group.data(), map);
            std::memcpy(batch.data() + blocks * kDesBlockSize, group.data(), kDesBlockSize);
            in += taken;
            remaining -= taken;
        }
        fieldKeySchedule().decrypt(batch.data(), batch.data(), blocks);
        for (std::size_t block = 0; block < blocks; ++block) {
            const char* plain = reinterpret_cast<const char*>(batch.data() + block * kDesBlockSize);
            // Bytes from the first zero on are the end mark of a short piece and its padding.
            text.append(plain, std::find(plain, plain + kDesBlockSize, '\0'));
        }
    }
    return text;
}

} // namespace kovrel

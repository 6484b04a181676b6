// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A second, independent implementation of the field codec and framing, built on OpenSSL's DES, so that
// our own codec is checked against bytes it did not produce itself.

#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

#include <cstdio>
#include <string>
#include <string_view>

namespace kovrel::test {

class ReferenceCodec
{
public:
    ReferenceCodec()
    {
        DES_cblock key = {'5', '8', '2', '0', '3', '7', '1', '6'};
        DES_set_key_unchecked(&key, &m_schedule);
    }

    std::string encode(std::string_view text) const
    {
        std::string out;
        for (std::size_t at = 0; at < text.size(); at += 8) {
            unsigned char block[8] = {};
            text.copy(reinterpret_cast<char*>(block), 8, at);
            unsigned char cipher[8];
            DES_ecb_encrypt(&block, &cipher, &m_schedule, DES_ENCRYPT);
            unsigned char map = 0;
            for (int i = 0; i < 8; ++i) {
                if (cipher[i] == 0) {
                    cipher[i] = 255;
                    map |= static_cast<unsigned char>(1 << i);
                }
            }
            out.append(reinterpret_cast<char*>(cipher), 8);
            out += static_cast<char>(map == 0 ? 255 : map);
        }
        return out;
    }

    std::string decode(std::string_view encoded) const
    {
        std::string out;
        for (std::size_t at = 0; at + 9 <= encoded.size(); at += 9) {
            unsigned char group[8];
            encoded.copy(reinterpret_cast<char*>(group), 8, at);
            const auto map = static_cast<unsigned char>(encoded[at + 8]);
            for (int i = 0; i < 8 && map != 255; ++i) {
                if (map & (1 << i)) {
                    group[i] = 0;
                }
            }
            unsigned char plain[8];
            DES_ecb_encrypt(&group, &plain, &m_schedule, DES_DECRYPT);
            for (int i = 0; i < 8 && plain[i] != 0; ++i) {
                out += static_cast<char>(plain[i]);
            }
        }
        return out;
    }

    std::string frame(std::string_view text) const
    {
        const std::string encoded = encode(text);
        char prefix[6];
        std::snprintf(prefix, sizeof prefix, "%05zu", encoded.size());
        return prefix + encoded;
    }

private:
    mutable DES_key_schedule m_schedule;
};

} // namespace kovrel::test

// SPDX-License-Identifier: GPL-3.0-or-later
#include "password_hash.h"

#include <charconv>
#include <memory>
#include <stdexcept>

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/params.h>
#include <openssl/rand.h>

namespace kovrel::server {
namespace {

constexpr std::string_view kPrefix = "$scrypt$";
// Far beyond any cost worth using, and within scrypt's own bounds (p * r < 2^30).
constexpr unsigned kMaxLog2N = 30;
constexpr std::uint32_t kMaxR = 32;
constexpr std::uint32_t kMaxP = 16;

// Standard base64 without the padding.
std::string toBase64(std::string_view bytes)
{
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int length =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                        reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
    text.resize(static_cast<std::size_t>(length));
    while (!text.empty() && text.back() == '=') {
        text.pop_back();
    }
    return text;
}

// Nothing for a text that toBase64() would not have written.
std::optional<std::string> fromBase64(std::string_view text)
{
    if (text.size() % 4 == 1) {
        return std::nullopt;
    }
    const std::size_t padding = (4 - text.size() % 4) % 4;
    const std::string padded = std::string(text) + std::string(padding, '=');
    std::string bytes(3 * padded.size() / 4, '\0');
    const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                                       reinterpret_cast<const unsigned char*>(padded.data()),
                                       static_cast<int>(padded.size()));
    if (length < 0) {
        return std::nullopt;
    }
    bytes.resize(static_cast<std::size_t>(length) - padding);
    // The canonical spelling only: no stray bits in the last character.
    return toBase64(bytes) == text ? std::optional(bytes) : std::nullopt;
}

std::string_view takeUntil(std::string_view& text, char separator)
{
    const std::size_t end = text.find(separator);
    const std::string_view head = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    return head;
}

// "NAME=NUMBER", the number in decimal.
template <typename Number> bool parseParameter(std::string_view text, std::string_view name, Number& value)
{
    if (!text.starts_with(name) || text.size() <= name.size() || text[name.size()] != '=') {
        return false;
    }
    const char* first = text.data() + name.size() + 1;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last && value > 0;
}

std::optional<ScryptCost> parseCost(std::string_view text)
{
    ScryptCost cost;
    const bool parsed = parseParameter(takeUntil(text, ','), "ln", cost.log2N) &&
                        parseParameter(takeUntil(text, ','), "r", cost.r) &&
                        parseParameter(takeUntil(text, ','), "p", cost.p) && text.empty();
    if (!parsed || cost.log2N > kMaxLog2N || cost.r > kMaxR || cost.p > kMaxP ||
        std::uint64_t{128} * cost.r > (kMaxScryptMemory >> cost.log2N)) {
        return std::nullopt;
    }
    return cost;
}

struct KdfDeleter
{
    void operator()(EVP_KDF* kdf) const { EVP_KDF_free(kdf); }
    void operator()(EVP_KDF_CTX* context) const { EVP_KDF_CTX_free(context); }
};

} // namespace

std::string PasswordHash::text() const
{
    return std::string(kPrefix) + "ln=" + std::to_string(cost.log2N) + ",r=" + std::to_string(cost.r) +
           ",p=" + std::to_string(cost.p) + "$" + toBase64(salt) + "$" + toBase64(key);
}

std::optional<PasswordHash> PasswordHash::parse(std::string_view text)
{
    if (!text.starts_with(kPrefix)) {
        return std::nullopt;
    }
    text.remove_prefix(kPrefix.size());
    const std::optional<ScryptCost> cost = parseCost(takeUntil(text, '$'));
    const std::optional<std::string> salt = fromBase64(takeUntil(text, '$'));
    const std::optional<std::string> key = fromBase64(text);
    if (!cost || !salt || !key || key->empty()) {
        return std::nullopt;
    }
    return PasswordHash{*cost, *salt, *key};
}

std::string deriveKey(std::string_view password, std::string_view salt, ScryptCost cost, std::size_t size)
{
    const std::unique_ptr<EVP_KDF, KdfDeleter> kdf(EVP_KDF_fetch(nullptr, "SCRYPT", nullptr));
    const std::unique_ptr<EVP_KDF_CTX, KdfDeleter> context(kdf ? EVP_KDF_CTX_new(kdf.get()) : nullptr);
    std::uint64_t n = std::uint64_t{1} << cost.log2N;
    std::uint64_t maxMemory = kMaxScryptMemory + 1024 * 1024; // N's blocks, and a little for the others
    // OpenSSL copies the octet strings; it does not write to them.
    const OSSL_PARAM parameters[] = {
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_PASSWORD, const_cast<char*>(password.data()),
                                          password.size()),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, const_cast<char*>(salt.data()), salt.size()),
        OSSL_PARAM_construct_uint64(OSSL_KDF_PARAM_SCRYPT_N, &n),
        OSSL_PARAM_construct_uint32(OSSL_KDF_PARAM_SCRYPT_R, &cost.r),
        OSSL_PARAM_construct_uint32(OSSL_KDF_PARAM_SCRYPT_P, &cost.p),
        OSSL_PARAM_construct_uint64(OSSL_KDF_PARAM_SCRYPT_MAXMEM, &maxMemory),
        OSSL_PARAM_construct_end()};
    std::string key(size, '\0');
    if (!context ||
        EVP_KDF_derive(context.get(), reinterpret_cast<unsigned char*>(key.data()), size, parameters) != 1) {
        throw std::runtime_error("scrypt failed");
    }
    return key;
}

std::string hashPassword(std::string_view password)
{
    std::string salt(PasswordHash::kSaltSize, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(salt.data()), static_cast<int>(salt.size())) != 1) {
        throw std::runtime_error("no random bytes for a salt");
    }
    const ScryptCost cost;
    return PasswordHash{cost, salt, deriveKey(password, salt, cost, PasswordHash::kKeySize)}.text();
}

bool passwordMatches(std::string_view password, std::string_view text)
{
    const std::optional<PasswordHash> hash = PasswordHash::parse(text);
    if (!hash) {
        return false;
    }
    std::string key = deriveKey(password, hash->salt, hash->cost, hash->key.size());
    const bool matches = CRYPTO_memcmp(key.data(), hash->key.data(), key.size()) == 0;
    OPENSSL_cleanse(key.data(), key.size());
    return matches;
}

} // namespace kovrel::server

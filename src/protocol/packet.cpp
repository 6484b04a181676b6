// SPDX-License-Identifier: GPL-3.0-or-later
#include "packet.h"

#include "field_cipher.h"

#include <charconv>

namespace kovrel {
namespace {

// Reads a length prefix: up to five characters, decimal digits only. Returns false for anything else,
// an empty text included. Senders always write five digits; fewer occur only at the end of a read.
bool readLength(std::string_view prefix, std::size_t& length)
{
    if (prefix.empty()) {
        return false;
    }
    for (char c : prefix) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    std::from_chars(prefix.data(), prefix.data() + prefix.size(), length);
    return true;
}

} // namespace

FieldTooLong::FieldTooLong(std::size_t textSize)
    : std::length_error("field of " + std::to_string(textSize) + " bytes is longer than the " +
                        std::to_string(kMaxFieldTextSize) + " bytes a framed field can carry")
{}

void AppendFramedField(std::string& packet, std::string_view text)
{
    if (text.size() > kMaxFieldTextSize) {
        throw FieldTooLong(text.size());
    }
    const std::string encoded = EncodeField(text);
    char prefix[kLengthPrefixSize];
    std::size_t length = encoded.size();
    for (std::size_t i = kLengthPrefixSize; i-- > 0; length /= 10) {
        prefix[i] = static_cast<char>('0' + length % 10);
    }
    packet.append(prefix, kLengthPrefixSize);
    packet += encoded;
}

std::string BuildPacket(std::initializer_list<std::string_view> fields)
{
    std::string packet;
    for (std::string_view field : fields) {
        AppendFramedField(packet, field);
    }
    return packet;
}

std::string BuildPacket(std::span<const std::string> fields)
{
    std::string packet;
    for (const std::string& field : fields) {
        AppendFramedField(packet, field);
    }
    return packet;
}

std::vector<std::string> ParsePacket(std::string_view received)
{
    std::vector<std::string> fields;
    while (fields.size() < kMaxFieldsPerRead) {
        std::size_t length = 0;
        if (!readLength(received.substr(0, kLengthPrefixSize), length)) {
            break;
        }
        received.remove_prefix(std::min(kLengthPrefixSize, received.size()));
        const std::string_view encoded = received.substr(0, length);
        received.remove_prefix(encoded.size());
        fields.push_back(DecodeField(encoded));
    }
    return fields;
}

void SendPacket(ByteSink& sink, std::initializer_list<std::string_view> fields)
{
    sink.sendBytes(BuildPacket(fields));
}

SplitText SplitFirst(std::string_view text)
{
    const std::size_t separator = text.find(kSeparator);
    if (separator == std::string_view::npos) {
        return {{}, text};
    }
    return {text.substr(0, separator), text.substr(separator + 1)};
}

} // namespace kovrel

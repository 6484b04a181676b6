// SPDX-License-Identifier: GPL-3.0-or-later
#include "packet_reader.h"

#include "field_cipher.h"
#include "packet.h"

#include <algorithm>

namespace kovrel {
namespace {

bool isLengthPrefix(std::string_view prefix)
{
    return std::all_of(prefix.begin(), prefix.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::size_t lengthOf(std::string_view prefix)
{
    std::size_t length = 0;
    for (char c : prefix) {
        length = length * 10 + static_cast<std::size_t>(c - '0');
    }
    return length;
}

} // namespace

PacketReader::FeedResult PacketReader::feed(std::string_view bytes)
{
    FeedResult result;
    // Only an unfinished field is ever copied; whole fields are decoded straight from the read.
    std::string joined;
    std::string_view unread = bytes;
    if (!m_pending.empty()) {
        joined = std::move(m_pending) + std::string(bytes);
        m_pending.clear();
        unread = joined;
    }
    while (unread.size() >= kLengthPrefixSize) {
        const std::string_view prefix = unread.substr(0, kLengthPrefixSize);
        if (!isLengthPrefix(prefix)) {
            result.outOfStep = true;
            result.bytesDropped = unread.size();
            return result;
        }
        const std::size_t length = lengthOf(prefix);
        if (unread.size() < kLengthPrefixSize + length) {
            break;
        }
        m_fields.push_back(m_decode(unread.substr(kLengthPrefixSize, length)));
        ++result.fieldsCompleted;
        unread.remove_prefix(kLengthPrefixSize + length);
    }
    if (!isLengthPrefix(unread.substr(0, kLengthPrefixSize))) {
        // Even an unfinished prefix shows that the stream is out of step.
        result.outOfStep = true;
        result.bytesDropped = unread.size();
        return result;
    }
    m_pending.assign(unread);
    return result;
}

std::vector<std::string> PacketReader::takeFields(std::size_t maxFields)
{
    const std::size_t count = std::min(maxFields, m_fields.size());
    std::vector<std::string> taken(
        std::make_move_iterator(m_fields.begin()),
        std::make_move_iterator(m_fields.begin() + static_cast<std::ptrdiff_t>(count)));
    m_fields.erase(m_fields.begin(), m_fields.begin() + static_cast<std::ptrdiff_t>(count));
    return taken;
}

} // namespace kovrel

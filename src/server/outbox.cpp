// SPDX-License-Identifier: GPL-3.0-or-later
#include "outbox.h"

#include <algorithm>

namespace kovrel::server {

void Outbox::add(const SharedBytes& bytes)
{
    if (bytes->empty()) {
        return;
    }
    m_size += bytes->size();
    if (bytes->size() <= kCopyLimit) {
        openBlock(bytes->size()).append(*bytes);
    } else {
        m_pieces.push_back({bytes, {}});
    }
}

std::string& Outbox::openBlock(std::size_t bytes)
{
    const bool lastIsOpen = m_pieces.size() > m_inWrite && !m_pieces.back().shared &&
                            m_pieces.back().copied.size() + bytes <= kBlockSize;
    if (!lastIsOpen) {
        m_pieces.push_back({});
        // A turn usually brings a few lines: room for them without growing the block line by line.
        m_pieces.back().copied.reserve(std::max(bytes, kBlockStart));
    }
    return m_pieces.back().copied;
}

const std::vector<asio::const_buffer>& Outbox::nextWrite()
{
    m_buffers.clear();
    for (const Piece& piece : m_pieces) {
        const std::string_view bytes = piece.bytes();
        const std::size_t skipped = m_buffers.empty() ? m_frontSent : 0;
        m_buffers.push_back(asio::buffer(bytes.data() + skipped, bytes.size() - skipped));
        if (m_buffers.size() == kMaxBuffers) {
            break;
        }
    }
    m_inWrite = m_buffers.size();
    return m_buffers;
}

void Outbox::written(std::size_t bytes)
{
    m_size -= bytes;
    bytes += m_frontSent;
    while (!m_pieces.empty() && bytes >= m_pieces.front().bytes().size()) {
        bytes -= m_pieces.front().bytes().size();
        m_pieces.pop_front();
    }
    m_frontSent = bytes;
    m_inWrite = 0;
}

} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include <asio/buffer.hpp>

#include "participant.h"

namespace kovrel::server {

// What one connection has yet to send, laid out for gathered writes. Small pieces (announcements, chat
// lines, answers) are copied one after another into blocks, so that a turn's worth of them leaves in a
// few buffers; large ones (the user list, long lines) are kept by reference, shared with the other
// recipients. Pieces handed to a write are left untouched until the write reports how much it took.
class Outbox
{
public:
    // Asio hands at most this many buffers to one system call.
    static constexpr std::size_t kMaxBuffers = 64;
    // Bytes up to this size are copied rather than shared.
    static constexpr std::size_t kCopyLimit = 1024;
    // A block of copied bytes starts with room for this many bytes, and stops growing at kBlockSize.
    static constexpr std::size_t kBlockStart = 1024;
    static constexpr std::size_t kBlockSize = 64 * 1024;

    void add(const SharedBytes& bytes);

    bool empty() const { return m_size == 0; }
    // Bytes queued and not yet written.
    std::size_t size() const { return m_size; }

    // Everything not yet written, as at most kMaxBuffers buffers for one write.
    const std::vector<asio::const_buffer>& nextWrite();
    // The write took `bytes` from the front.
    void written(std::size_t bytes);

private:
    struct Piece
    {
        SharedBytes shared; // null for a block of copied bytes
        std::string copied;
        std::string_view bytes() const { return shared ? std::string_view(*shared) : copied; }
    };

    // The block that copied bytes go into next: the last piece, if it is a block with room that no write
    // holds, else a new one.
    std::string& openBlock(std::size_t bytes);

    std::deque<Piece> m_pieces;
    std::size_t m_inWrite = 0;   // pieces at the front handed to the write under way
    std::size_t m_frontSent = 0; // bytes of the first piece already written
    std::size_t m_size = 0;
    std::vector<asio::const_buffer> m_buffers;
};

} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
#include "turn_writes.h"

#include <asio/post.hpp>

#include "session.h"

namespace kovrel::server {

void TurnWrites::add(std::shared_ptr<Session> session)
{
    if (m_waiting.empty()) {
        asio::post(m_io, [this] { writeAll(); });
    }
    m_waiting.push_back(std::move(session));
}

void TurnWrites::writeAll()
{
    // A session that closes while writing may deliver to others, which then wait for the next turn.
    std::swap(m_waiting, m_writing);
    for (const std::shared_ptr<Session>& session : m_writing) {
        session->flush();
    }
    m_writing.clear();
}

} // namespace kovrel::server

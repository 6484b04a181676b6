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

std::int64_t TurnWrites::periodAt(std::chrono::steady_clock::time_point time)
{
    return time.time_since_epoch() / kPeriod;
}

void TurnWrites::addAtPeriodEnd(std::shared_ptr<Session> session)
{
    if (m_pausing.empty()) {
        const auto next = periodAt(std::chrono::steady_clock::now()) + 1;
        m_periodTimer.expires_at(std::chrono::steady_clock::time_point(next * kPeriod));
        m_periodTimer.async_wait([this](std::error_code ec) {
            if (!ec) {
                endPeriod();
            }
        });
    }
    m_pausing.push_back(std::move(session));
}

void TurnWrites::endPeriod()
{
    std::vector<std::shared_ptr<Session>> paused;
    std::swap(paused, m_pausing);
    for (const std::shared_ptr<Session>& session : paused) {
        session->periodEnded();
    }
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

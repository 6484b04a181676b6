// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>

namespace kovrel::server {

class Session;

// The sessions of one event loop that queued output during the current turn. They write once the
// handlers of that turn have run: the readable sockets of a turn may produce many lines for one client,
// and all of them leave in one gathered write. Nothing waits for a timer: the writes are posted behind
// the turn's handlers, so at low load a line still leaves in the turn that produced it.
//
// A write that costs much for its own sake (a TLS record) is made at most once a period by each session:
// one that has written in the current period waits for its end, with every other such session, behind one
// timer, so that a reader in a busy room gets a few records a second with several lines each.
class TurnWrites
{
public:
    static constexpr std::chrono::milliseconds kPeriod{10};

    explicit TurnWrites(asio::io_context& io) : m_io(io), m_periodTimer(io) {}
    TurnWrites(const TurnWrites&) = delete;
    TurnWrites& operator=(const TurnWrites&) = delete;

    static std::int64_t periodAt(std::chrono::steady_clock::time_point time);

    // The session writes at the end of this turn; a session asks once per turn.
    void add(std::shared_ptr<Session> session);
    // The session is told when the current period is over; a session asks once per period.
    void addAtPeriodEnd(std::shared_ptr<Session> session);

private:
    void writeAll();
    void endPeriod();

    asio::io_context& m_io;
    std::vector<std::shared_ptr<Session>> m_waiting;
    std::vector<std::shared_ptr<Session>> m_writing;
    asio::steady_timer m_periodTimer;
    std::vector<std::shared_ptr<Session>> m_pausing;
};

} // namespace kovrel::server

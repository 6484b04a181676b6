// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <vector>

#include <asio/io_context.hpp>

namespace kovrel::server {

class Session;

// The sessions of one event loop that queued output during the current turn. They write once the
// handlers of that turn have run: the readable sockets of a turn may produce many lines for one client,
// and all of them leave in one gathered write. Nothing waits for a timer: the writes are posted behind
// the turn's handlers, so at low load a line still leaves in the turn that produced it.
class TurnWrites
{
public:
    explicit TurnWrites(asio::io_context& io) : m_io(io) {}
    TurnWrites(const TurnWrites&) = delete;
    TurnWrites& operator=(const TurnWrites&) = delete;

    // The session writes at the end of this turn; a session asks once per turn.
    void add(std::shared_ptr<Session> session);

private:
    void writeAll();

    asio::io_context& m_io;
    std::vector<std::shared_ptr<Session>> m_waiting;
    std::vector<std::shared_ptr<Session>> m_writing;
};

} // namespace kovrel::server

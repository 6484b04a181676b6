// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>

namespace kovrel::server::test {

// A relay on 127.0.0.1 that a client connects to instead of the server, as a tap on the wire between them:
// it passes every connection on to the server's port, forwards both directions as the bytes arrive, and
// keeps a copy of everything it forwards. Runs on a thread of its own.
class RecordingRelay
{
public:
    // The bytes of one relayed connection.
    struct Capture
    {
        std::string fromClient;
        std::string fromServer;
    };

    explicit RecordingRelay(unsigned short serverPort);
    ~RecordingRelay();
    RecordingRelay(const RecordingRelay&) = delete;
    RecordingRelay& operator=(const RecordingRelay&) = delete;

    unsigned short port() const { return m_port; }

    // What has passed so far, a capture per connection in the order they came.
    std::vector<Capture> captures() const;

private:
    struct Link;
    using Buffer = std::array<char, 16 * 1024>;

    void accept();
    // Forwards what `from` sends to `to`, keeping it in the link's capture as `kept`.
    void forward(const std::shared_ptr<Link>& link, asio::ip::tcp::socket& from, asio::ip::tcp::socket& to,
                 std::string Capture::*kept, Buffer& buffer);

    asio::io_context m_io;
    asio::ip::tcp::acceptor m_acceptor;
    unsigned short m_port = 0;
    unsigned short m_serverPort;
    mutable std::mutex m_mutex;
    std::deque<Capture> m_captures; // a deque: the links append to theirs while others are added
    std::thread m_thread;
};

} // namespace kovrel::server::test

// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording_relay.h"

#include <system_error>

#include <asio/write.hpp>

namespace kovrel::server::test {

struct RecordingRelay::Link
{
    explicit Link(asio::io_context& io) : client(io), server(io) {}

    asio::ip::tcp::socket client;
    asio::ip::tcp::socket server;
    Capture* capture = nullptr;
    Buffer toServer;
    Buffer toClient;
};

RecordingRelay::RecordingRelay(unsigned short serverPort)
    : m_acceptor(m_io, {asio::ip::address_v4::loopback(), 0}), m_serverPort(serverPort)
{
    m_port = m_acceptor.local_endpoint().port();
    accept();
    m_thread = std::thread([this] { m_io.run(); });
}

RecordingRelay::~RecordingRelay()
{
    m_io.stop();
    m_thread.join();
}

std::vector<RecordingRelay::Capture> RecordingRelay::captures() const
{
    const std::lock_guard lock(m_mutex);
    return {m_captures.begin(), m_captures.end()};
}

void RecordingRelay::accept()
{
    auto link = std::make_shared<Link>(m_io);
    m_acceptor.async_accept(link->client, [this, link](std::error_code ec) {
        if (ec) {
            return;
        }
        link->server.connect({asio::ip::address_v4::loopback(), m_serverPort}, ec);
        if (!ec) {
            {
                const std::lock_guard lock(m_mutex);
                link->capture = &m_captures.emplace_back();
            }
            forward(link, link->client, link->server, &Capture::fromClient, link->toServer);
            forward(link, link->server, link->client, &Capture::fromServer, link->toClient);
        }
        accept();
    });
}

void RecordingRelay::forward(const std::shared_ptr<Link>& link, asio::ip::tcp::socket& from,
                             asio::ip::tcp::socket& to, std::string Capture::*kept, Buffer& buffer)
{
    from.async_read_some(asio::buffer(buffer), [this, link, &from, &to, kept, &buffer](std::error_code ec,
                                                                                       std::size_t length) {
        if (ec) {
            // The end of one direction is passed on as such; the other goes on until it ends too.
            to.shutdown(asio::ip::tcp::socket::shutdown_send, ec);
            return;
        }
        {
            const std::lock_guard lock(m_mutex);
            (link->capture->*kept).append(buffer.data(), length);
        }
        asio::async_write(to, asio::buffer(buffer.data(), length),
                          [this, link, &from, &to, kept, &buffer](std::error_code ec, std::size_t) {
                              if (!ec) {
                                  forward(link, from, to, kept, buffer);
                              }
                          });
    });
}

} // namespace kovrel::server::test

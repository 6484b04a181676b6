// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <utility>
#include <variant>

#include <asio/buffer.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/ssl/context.hpp>
#include <asio/ssl/stream.hpp>
#include <asio/write.hpp>

namespace kovrel::bench {

// The context of --tls: TLS 1.2 or later, and any certificate the server shows is taken. A load generator
// measures a server; it is not there to decide whether to trust one.
asio::ssl::context acceptAnyCertificate();

// The byte stream of one bench client: the TCP socket itself, or TLS over it. The client reads and writes
// through it alike either way.
class ClientTransport
{
public:
    using Socket = asio::ip::tcp::socket;
    using TlsStream = asio::ssl::stream<Socket>;

    // TLS when `tls` is given; it must outlive the transport.
    ClientTransport(asio::io_context& io, asio::ssl::context* tls);

    // Null for a plain connection.
    TlsStream* tls() { return std::get_if<TlsStream>(&m_stream); }
    Socket& socket();

    template <typename Handler> void asyncReadSome(asio::mutable_buffer buffer, Handler&& handler)
    {
        std::visit([&](auto& stream) { stream.async_read_some(buffer, std::forward<Handler>(handler)); },
                   m_stream);
    }

    template <typename Handler> void asyncWrite(asio::const_buffer buffer, Handler&& handler)
    {
        std::visit([&](auto& stream) { asio::async_write(stream, buffer, std::forward<Handler>(handler)); },
                   m_stream);
    }

    // Drops the connection without TLS's closing alert: the bench closes only once the server has said
    // goodbye, or when the run has given up on it.
    void close();

private:
    std::variant<Socket, TlsStream> m_stream;
};

} // namespace kovrel::bench

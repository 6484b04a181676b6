// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <utility>
#include <variant>

#include <asio/buffer.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/ssl/context.hpp>
#include <asio/ssl/stream.hpp>

namespace kovrel::server {

// The byte stream under a session: the TCP socket itself, or TLS over it. Both read alike; they write
// differently (see Session::flush()), so the session asks which one it has.
class Transport
{
public:
    using Socket = asio::ip::tcp::socket;
    using TlsStream = asio::ssl::stream<Socket>;

    // TLS when `tls`, the context that holds the server's certificate, is given.
    Transport(Socket socket, asio::ssl::context* tls);

    // Null for a plain connection.
    TlsStream* tls() { return std::get_if<TlsStream>(&m_stream); }
    Socket& socket();

    template <typename Handler> void asyncReadSome(asio::mutable_buffer buffer, Handler&& handler)
    {
        std::visit([&](auto& stream) { stream.async_read_some(buffer, std::forward<Handler>(handler)); },
                   m_stream);
    }

    // Cuts the connection at once; TLS gets no closing alert, as the server only closes a connection that
    // is gone, out of step or not wanted, and the log says why.
    void close();

private:
    std::variant<Socket, TlsStream> m_stream;
};

} // namespace kovrel::server

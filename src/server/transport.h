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

    // Whether TLS's closing alert can be sent: a TLS connection whose handshake is over.
    bool canCloseNotify() { return tls() != nullptr && SSL_is_init_finished(tls()->native_handle()) == 1; }

    // Sends TLS's closing alert, so that the client can tell a deliberate close from a cut connection
    // (a truncation attack, as TLS sees it); `handler` runs once it is written or has failed. The peer's
    // own alert is not waited for: the side that closes need not read any more.
    template <typename Handler> void asyncCloseNotify(Handler&& handler)
    {
        SSL_set_shutdown(tls()->native_handle(), SSL_RECEIVED_SHUTDOWN);
        tls()->async_shutdown(std::forward<Handler>(handler));
    }

    // Cuts the connection at once, without TLS's closing alert.
    void close();

private:
    std::variant<Socket, TlsStream> m_stream;
};

} // namespace kovrel::server

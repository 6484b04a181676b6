// SPDX-License-Identifier: GPL-3.0-or-later
#include "transport.h"

namespace kovrel::server {
namespace {

std::variant<Transport::Socket, Transport::TlsStream> stream(Transport::Socket socket,
                                                             asio::ssl::context* tls)
{
    if (tls != nullptr) {
        return std::variant<Transport::Socket, Transport::TlsStream>(std::in_place_type<Transport::TlsStream>,
                                                                     std::move(socket), *tls);
    }
    return socket;
}

} // namespace

Transport::Transport(Socket socket, asio::ssl::context* tls) : m_stream(stream(std::move(socket), tls)) {}

Transport::Socket& Transport::socket()
{
    TlsStream* stream = tls();
    return stream != nullptr ? stream->next_layer() : std::get<Socket>(m_stream);
}

void Transport::close()
{
    std::error_code ignored;
    socket().shutdown(Socket::shutdown_both, ignored);
    socket().close(ignored);
}

} // namespace kovrel::server

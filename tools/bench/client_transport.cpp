// SPDX-License-Identifier: GPL-3.0-or-later
#include "client_transport.h"

#include <stdexcept>

#include <openssl/ssl.h>

namespace kovrel::bench {
namespace {

using Stream = std::variant<ClientTransport::Socket, ClientTransport::TlsStream>;

// Made in place, never moved: GCC takes a moved socket's reactor data for uninitialised.
Stream stream(asio::io_context& io, asio::ssl::context* tls)
{
    if (tls != nullptr) {
        return Stream(std::in_place_type<ClientTransport::TlsStream>, io, *tls);
    }
    return Stream(std::in_place_type<ClientTransport::Socket>, io);
}

} // namespace

asio::ssl::context acceptAnyCertificate()
{
    asio::ssl::context context(asio::ssl::context::tls_client);
    context.set_options(asio::ssl::context::default_workarounds | asio::ssl::context::no_compression);
    if (SSL_CTX_set_min_proto_version(context.native_handle(), TLS1_2_VERSION) != 1) {
        throw std::runtime_error("cannot require TLS 1.2");
    }
    context.set_verify_mode(asio::ssl::verify_none);
    return context;
}

ClientTransport::ClientTransport(asio::io_context& io, asio::ssl::context* tls) : m_stream(stream(io, tls)) {}

ClientTransport::Socket& ClientTransport::socket()
{
    TlsStream* stream = tls();
    return stream != nullptr ? stream->next_layer() : std::get<Socket>(m_stream);
}

void ClientTransport::close()
{
    std::error_code ignored;
    socket().close(ignored);
}

} // namespace kovrel::bench

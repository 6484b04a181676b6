// SPDX-License-Identifier: GPL-3.0-or-later
#include "server.h"

#include <cerrno>
#include <chrono>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include <asio/post.hpp>

#include "listen_queue.h"

#include <sys/socket.h>

namespace kovrel::server {
namespace {

// When accepting fails (out of descriptors, for one), wait this long instead of spinning.
constexpr std::chrono::milliseconds kAcceptRetryDelay{200};
// Connections accepted at most in one turn of the event loop, beyond the one it was woken for.
constexpr int kAcceptBatch = 256;

// IPv4 peers of a dual-stack socket arrive as IPv4-mapped IPv6 addresses.
asio::ip::address plainAddress(const asio::ip::address& address)
{
    if (address.is_v6() && address.to_v6().is_v4_mapped()) {
        return asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6());
    }
    return address;
}

std::string endpointText(const asio::ip::address& address, unsigned short port)
{
    const std::string host = address.to_string();
    return (address.is_v6() ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

// Binds and listens; with `sharePort`, alongside other sockets of the process on the same port.
asio::ip::tcp::acceptor listeningAcceptor(asio::io_context& io, const asio::ip::tcp::endpoint& endpoint,
                                          const ServerSettings& settings)
{
    asio::ip::tcp::acceptor acceptor(io, endpoint.protocol());
    acceptor.set_option(asio::ip::tcp::acceptor::reuse_address(true));
    if (settings.sharePort) {
        const int on = 1;
        if (::setsockopt(acceptor.native_handle(), SOL_SOCKET, SO_REUSEPORT, &on, sizeof on) != 0) {
            throw std::system_error(errno, std::generic_category(), "SO_REUSEPORT");
        }
    }
    acceptor.bind(endpoint);
    acceptor.listen(listenBacklog(settings.backlog));
    // Accepting what is queued stops at an empty queue instead of waiting.
    acceptor.non_blocking(true);
    return acceptor;
}

} // namespace

std::string_view ConnectionCount::admit(const std::string& address)
{
    const std::lock_guard lock(m_mutex);
    if (m_open >= m_maxClients) {
        return "too many clients";
    }
    std::size_t& fromAddress = m_perAddress[address];
    if (fromAddress >= m_maxPerAddress) {
        return "too many connections from this address";
    }
    ++fromAddress;
    ++m_open;
    return {};
}

void ConnectionCount::closed(const std::string& address)
{
    const std::lock_guard lock(m_mutex);
    const auto fromAddress = m_perAddress.find(address);
    if (fromAddress != m_perAddress.end()) {
        --m_open;
        if (--fromAddress->second == 0) {
            m_perAddress.erase(fromAddress);
        }
    }
}

Server::Server(asio::io_context& io, Room& room, const Blacklist& blacklist, ConnectionCount& count,
               ServerSettings settings, EventLog& log, asio::ssl::context* tls, Accounts* accounts)
    : m_io(io), m_room(room), m_blacklist(blacklist), m_count(count), m_settings(std::move(settings)),
      m_log(log), m_accounts(accounts), m_turnWrites(io)
{
    if (m_settings.listen.plain) {
        m_listeners.push_back(
            {listeningAcceptor(io, *m_settings.listen.plain, m_settings), asio::steady_timer(io), nullptr});
    }
    for (const asio::ip::tcp::endpoint& endpoint : m_settings.listen.tls) {
        m_listeners.push_back({listeningAcceptor(io, endpoint, m_settings), asio::steady_timer(io), tls});
    }
}

ListenAddresses Server::listening() const
{
    ListenAddresses addresses;
    for (const Listener& listener : m_listeners) {
        if (listener.tls != nullptr) {
            addresses.tls.push_back(listener.acceptor.local_endpoint());
        } else {
            addresses.plain = listener.acceptor.local_endpoint();
        }
    }
    return addresses;
}

void Server::start()
{
    for (Listener& listener : m_listeners) {
        doAccept(listener);
    }
}

void Server::shutdown(std::function<void()> allGone)
{
    m_stopping = true;
    m_allGone = std::move(allGone);
    for (Listener& listener : m_listeners) {
        std::error_code ignored;
        listener.acceptor.close(ignored);
        listener.retry.cancel();
    }
    for (const auto& [key, session] : m_sessions) {
        session->requestLogout();
    }
    if (m_sessions.empty()) {
        asio::post(m_io, std::exchange(m_allGone, nullptr));
    }
}

void Server::closeAll()
{
    // Nobody waits for the sessions to log out any more: the loop that runs on serves what is left.
    m_allGone = nullptr;
    // Closing a session removes it from the map.
    std::vector<std::shared_ptr<Session>> open;
    for (const auto& [key, session] : m_sessions) {
        open.push_back(session);
    }
    for (const auto& session : open) {
        session->close("the server is stopping");
    }
}

void Server::doAccept(Listener& listener)
{
    listener.acceptor.async_accept([this, &listener](std::error_code ec, asio::ip::tcp::socket socket) {
        if (!ec) {
            admit(std::move(socket), listener.tls);
            acceptQueued(listener);
            doAccept(listener);
        } else if (ec != asio::error::operation_aborted && !m_stopping) {
            m_log.write("accept-failed", {}, {}, ec.message());
            listener.retry.expires_after(kAcceptRetryDelay);
            listener.retry.async_wait([this, &listener](std::error_code ec) {
                if (!ec) {
                    doAccept(listener);
                }
            });
        }
    });
}

void Server::acceptQueued(Listener& listener)
{
    // A connect storm fills the queue far faster than one connection a turn would empty it.
    for (int i = 0; i < kAcceptBatch; ++i) {
        std::error_code ec;
        asio::ip::tcp::socket socket = listener.acceptor.accept(ec);
        if (ec) {
            return; // an empty queue; a real failure shows again in the next asynchronous accept
        }
        admit(std::move(socket), listener.tls);
    }
}

void Server::admit(asio::ip::tcp::socket socket, asio::ssl::context* tls)
{
    std::error_code ec;
    const asio::ip::tcp::endpoint remote = socket.remote_endpoint(ec);
    if (ec) {
        return; // gone before we got to it
    }
    const asio::ip::address address = plainAddress(remote.address());
    const std::string peer = endpointText(address, remote.port());
    if (address.is_v4() && m_blacklist.contains(address.to_v4().to_uint())) {
        m_log.write("refused", peer, {}, "blacklisted address");
        return;
    }
    if (const std::string_view refusal = m_count.admit(address.to_string()); !refusal.empty()) {
        m_log.write("refused", peer, {}, refusal);
        return;
    }
    m_log.write("connect", peer, {});
    // Counted before any TLS handshake, which is part of not being logged in yet.
    auto session = std::make_shared<Session>(
        Transport(std::move(socket), tls), address.to_string(), peer, m_room, m_blacklist, m_settings.session,
        m_log, m_turnWrites, [this](Session& closed) { sessionClosed(closed); }, m_accounts);
    m_sessions.emplace(session.get(), session);
    session->start();
}

void Server::sessionClosed(Session& session)
{
    m_sessions.erase(&session);
    m_count.closed(session.address());
    if (m_stopping && m_sessions.empty() && m_allGone) {
        asio::post(m_io, std::exchange(m_allGone, nullptr));
    }
}

} // namespace kovrel::server

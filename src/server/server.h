// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/ssl/context.hpp>
#include <asio/steady_timer.hpp>

#include "accounts.h"
#include "blacklist.h"
#include "event_log.h"
#include "room.h"
#include "server_settings.h"
#include "session.h"
#include "turn_writes.h"

namespace kovrel::server {

// How many connections are open, in all and from each address, for every thread that accepts them.
class ConnectionCount
{
public:
    ConnectionCount(std::size_t maxClients, std::size_t maxPerAddress)
        : m_maxClients(maxClients), m_maxPerAddress(maxPerAddress)
    {}

    // Counts a new connection from `address` in; the reason when it would go beyond a limit.
    std::string_view admit(const std::string& address);
    void closed(const std::string& address);

private:
    const std::size_t m_maxClients;
    const std::size_t m_maxPerAddress;
    std::mutex m_mutex;
    std::size_t m_open = 0;
    std::unordered_map<std::string, std::size_t> m_perAddress;
};

// Accepts connections on its listening sockets, plain and TLS, refuses blacklisted addresses and connections
// beyond the limits, and keeps the open sessions so that it can ask every client to log out when it stops.
class Server
{
public:
    // Binds and listens at once (port 0 picks a free port); throws std::system_error when it cannot.
    // `count` is shared with the other threads' servers, when there are any. `tls` holds the certificate
    // of the TLS listeners; it is needed when there are any. `accounts`: the reserved nicks, when the
    // server keeps any.
    Server(asio::io_context& io, Room& room, const Blacklist& blacklist, ConnectionCount& count,
           ServerSettings settings, EventLog& log, asio::ssl::context* tls = nullptr,
           Accounts* accounts = nullptr);

    // The addresses it listens on, with the ports that port 0 picked.
    ListenAddresses listening() const;

    void start();

    // Stops accepting and sends "Disconnect" to every client; `allGone` runs once the last connection has
    // closed.
    void shutdown(std::function<void()> allGone);

    // Closes every connection still open, for the clients that did not log out in time.
    void closeAll();

private:
    struct Listener
    {
        asio::ip::tcp::acceptor acceptor;
        asio::steady_timer retry; // after a failed accept
        asio::ssl::context* tls;  // null for plain connections
    };

    void doAccept(Listener& listener);
    void acceptQueued(Listener& listener);
    void admit(asio::ip::tcp::socket socket, asio::ssl::context* tls);
    void sessionClosed(Session& session);

    asio::io_context& m_io;
    // The plain one first; a deque, as the accepts in progress refer to them.
    std::deque<Listener> m_listeners;
    Room& m_room;
    const Blacklist& m_blacklist;
    ConnectionCount& m_count;
    ServerSettings m_settings;
    EventLog& m_log;
    Accounts* m_accounts;
    TurnWrites m_turnWrites;
    std::unordered_map<const Session*, std::shared_ptr<Session>> m_sessions;
    std::function<void()> m_allGone;
    bool m_stopping = false;
};

} // namespace kovrel::server

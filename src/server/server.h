#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>

#include "blacklist.h"
#include "event_log.h"
#include "room.h"
#include "session.h"

namespace kovrel::server {

struct ServerSettings
{
    asio::ip::tcp::endpoint listen;
    std::size_t maxClients = 500;
    // Connections from one address at a time, logged in or not.
    std::size_t maxPerAddress = 16;
    SessionSettings session;
    // Lets other sockets of this process listen on the same port (SO_REUSEPORT), one per thread.
    bool sharePort = false;
};

// Accepts connections, refuses blacklisted addresses and connections beyond the limits, and keeps the
// open sessions so that it can ask every client to log out when it stops.
class Server
{
public:
    // Binds and listens at once (port 0 picks a free port); throws std::system_error when it cannot.
    Server(asio::io_context& io, Room& room, const Blacklist& blacklist, ServerSettings settings,
           EventLog& log);

    asio::ip::tcp::endpoint localEndpoint() const { return m_acceptor.local_endpoint(); }

    void start();

    // Stops accepting and sends "Disconnect" to every client; `allGone` runs once the last connection has
    // closed.
    void shutdown(std::function<void()> allGone);

    // Closes every connection still open, for the clients that did not log out in time.
    void closeAll();

private:
    void doAccept();
    void admit(asio::ip::tcp::socket socket);
    void sessionClosed(Session& session);

    asio::ip::tcp::acceptor m_acceptor;
    asio::steady_timer m_acceptRetry;
    Room& m_room;
    const Blacklist& m_blacklist;
    ServerSettings m_settings;
    EventLog& m_log;
    std::unordered_map<const Session*, std::shared_ptr<Session>> m_sessions;
    std::unordered_map<std::string, std::size_t> m_connectionsPerAddress;
    std::function<void()> m_allGone;
    bool m_stopping = false;
};

} // namespace kovrel::server

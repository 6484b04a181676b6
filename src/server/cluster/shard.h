// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <functional>
#include <optional>

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/signal_set.hpp>
#include <asio/steady_timer.hpp>

#include "blacklist.h"
#include "card_book.h"
#include "event_log.h"
#include "listen_queue.h"
#include "room.h"
#include "server.h"

namespace kovrel::server {

// What one thread serves: its own event loop, room and listening sockets. The threads of one server listen
// on the same ports (the kernel shares the connections out) and share their room through a ShardHub.
class Shard
{
public:
    // How long the clients get to log out when the server is told to stop.
    static constexpr std::chrono::seconds kLogoutGrace{2};

    // `tls` holds the certificate of the TLS listeners, when there are any; `accounts` the reserved nicks,
    // when the server keeps any.
    Shard(CardBook::Limits cards, const ServerSettings& settings, const Blacklist& blacklist,
          ConnectionCount& count, EventLog& log, asio::ssl::context* tls, Accounts* accounts);

    asio::io_context& io() { return m_io; }
    Room& room() { return m_room; }
    ListenAddresses listening() const { return m_server->listening(); }

    // Logs the connections the kernel drops at full listen queues; one thread of the server does.
    void watchListenQueue() { m_listenWatch.emplace(m_io, m_log, m_backlog); }

    // Serves until SIGINT or SIGTERM, then lets the clients log out and closes what is left. The first
    // thread logs the signal. `closed` runs on this thread once every connection is closed, while the loop
    // still runs what it was given.
    void run(bool logSignal, const std::function<void()>& closed = {});

private:
    void stopping(int signal);

    // First, so that it outlives everything that uses it.
    asio::io_context m_io{1};
    Room m_room;
    asio::steady_timer m_cardExpiry;
    asio::steady_timer m_grace;
    asio::signal_set m_signals;
    std::optional<Server> m_server;
    std::optional<ListenQueueWatch> m_listenWatch;
    EventLog& m_log;
    const int m_backlog;
};

} // namespace kovrel::server

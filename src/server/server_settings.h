// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <vector>

#include <asio/ip/tcp.hpp>

namespace kovrel::server {

// What each connection is allowed: the command line sets these, the sessions apply them.
struct SessionSettings
{
    std::chrono::steady_clock::duration probeInterval = std::chrono::seconds(60);
    // A connection that is not logged in this long after it opened (or after its user logged out) is
    // closed, so that sockets that never log in cannot hold the server's connection slots.
    std::chrono::seconds loginTimeout{30};
    // Chat messages a second per connection, with bursts of up to chatBurst; 0: no limit.
    double chatRate = 20;
    double chatBurst = 40;
    // Bytes of such messages a second per connection, with bursts of up to chatBurstBytes; 0: no limit.
    double chatBytes = 64 * 1024;
    double chatBurstBytes = 128 * 1024;
    // A client that lets this much output pile up is not reading: it is cut off rather than held in memory.
    std::size_t maxQueuedBytes = 4 * 1024 * 1024;
};

// Where the server listens.
struct ListenAddresses
{
    // The plain listening socket; none when the server serves TLS only.
    std::optional<asio::ip::tcp::endpoint> plain;
    // Listening sockets whose connections speak TLS, with the same fields inside it.
    std::vector<asio::ip::tcp::endpoint> tls;
};

// The listening sockets and the limits of the whole server.
struct ServerSettings
{
    ListenAddresses listen;
    // Connections the kernel queues before the server accepts them; 0: as many as it allows
    // (net.core.somaxconn), which also caps a larger number.
    int backlog = 0;
    // Connections of the whole server, logged in or not: in all, and from one address.
    std::size_t maxClients = 500;
    std::size_t maxPerAddress = 16;
    SessionSettings session;
    // Lets other sockets of this process listen on the same ports (SO_REUSEPORT), one per thread.
    bool sharePort = false;
};

} // namespace kovrel::server

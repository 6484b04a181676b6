// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>

#include "event_log.h"

namespace kovrel::server {

// The listen queue a socket gets for a `requested` length (0: as long as allowed): the kernel caps it at
// net.core.somaxconn (SOMAXCONN when that cannot be read).
int listenBacklog(int requested);

// A counter of the "TcpExt" group from the text of /proc/net/netstat ("ListenOverflows": connections
// dropped because an accept queue was full); nothing when it is not there.
std::optional<std::uint64_t> tcpExtCounter(std::string_view netstat, std::string_view name);

// Looks at the kernel's counts every few seconds and logs the connections dropped at a full listen
// queue since the last look. A client whose connection is dropped there retries or gives up without the
// server ever seeing it; this line is the administrator's only sign of it. The counts are the host's
// (its network namespace's): other programs' listen queues count too, and the line says so.
class ListenQueueWatch
{
public:
    static constexpr std::chrono::seconds kInterval{5};

    ListenQueueWatch(asio::io_context& io, EventLog& log, int backlog,
                     std::string_view netstatPath = "/proc/net/netstat");

    void start();
    void stop() { m_timer.cancel(); }
    // Looks now; what start() does every interval.
    void check();

private:
    void schedule();
    std::optional<std::uint64_t> readOverflows() const;

    asio::steady_timer m_timer;
    EventLog& m_log;
    const int m_backlog;
    const std::string_view m_netstatPath;
    std::optional<std::uint64_t> m_overflows;
};

} // namespace kovrel::server

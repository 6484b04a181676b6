// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "usage_error.h"

#include <chrono>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kovrel::bench {

struct BenchServer
{
    std::string host;
    std::string port;
};

struct BenchOptions
{
    // Client i connects to server i modulo their number: several nodes of one cluster share the clients.
    std::vector<BenchServer> servers;
    // Every client speaks TLS, taking whatever certificate the server shows.
    bool tls = false;
    int clients = 0;
    // Client N logs in as this followed by N; runs with different prefixes can share a server.
    std::string nickPrefix = "bench-";
    int messages = 0;
    // All clients connect first, then log in at once; the run measures how soon everyone sees everyone.
    bool storm = false;
    // Server processes whose CPU time over the measured phase the summary gives, summed.
    std::vector<int> serverPids;
    // Messages a second across all clients; 0: every client sends as fast as the server echoes.
    double rate = 0;
    bool privateMessages = false;
    // Unthrottled: messages a client may have sent and not yet seen echoed.
    int window = 32;
    // Threads that run the clients; the clients are shared out evenly.
    int threads = 1;
    // How long to wait without any progress before counting what is missing as lost.
    std::chrono::seconds timeout{10};
    bool help = false;
    bool version = false;
};

BenchOptions parseBenchOptions(std::span<const std::string_view> arguments);
std::string benchUsage();

} // namespace kovrel::bench

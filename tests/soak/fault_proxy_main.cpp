// SPDX-License-Identifier: GPL-3.0-or-later
// kovrel-fault-proxy: the fault-injecting proxy of the client soak, as a program.
//   kovrel-fault-proxy UPSTREAM_PORT SEED FAULT_LOG DELIVERY_LOG [MEAN_FAULT_INTERVAL_SECONDS]
// Prints "listening on 127.0.0.1:PORT" once it accepts; SIGUSR1 calms it (no more faults), SIGTERM ends it.

#include "fault_proxy.h"

#include <asio/signal_set.hpp>

#include <csignal>
#include <fstream>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 5 || argc > 6) {
        std::cerr
            << "usage: kovrel-fault-proxy UPSTREAM_PORT SEED FAULT_LOG DELIVERY_LOG [MEAN_FAULT_INTERVAL]\n";
        return 2;
    }
    try {
        kovrel::soak::FaultSettings settings;
        settings.upstreamPort = static_cast<unsigned short>(std::stoul(argv[1]));
        settings.seed = static_cast<std::uint32_t>(std::stoul(argv[2]));
        if (argc == 6) {
            settings.meanFaultInterval = std::chrono::seconds(std::stoul(argv[5]));
        }
        std::ofstream faults(argv[3]);
        std::ofstream deliveries(argv[4], std::ios::binary);
        if (!faults || !deliveries) {
            std::cerr << "kovrel-fault-proxy: cannot write the logs\n";
            return 1;
        }
        asio::io_context io;
        kovrel::soak::FaultProxy proxy(io, settings, faults, deliveries);
        asio::signal_set calming(io, SIGUSR1);
        calming.async_wait([&](const asio::error_code& error, int) {
            if (!error) {
                proxy.calm();
            }
        });
        asio::signal_set ending(io, SIGTERM, SIGINT);
        ending.async_wait([&](const asio::error_code&, int) { io.stop(); });
        std::cout << "listening on 127.0.0.1:" << proxy.port() << std::endl;
        io.run();
    } catch (const std::exception& error) {
        std::cerr << "kovrel-fault-proxy: " << error.what() << '\n';
        return 1;
    }
    return 0;
}

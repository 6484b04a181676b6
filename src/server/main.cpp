// kovrel-server: the chat server. See usage() in options.cpp for the command line.

#include <chrono>
#include <csignal>
#include <exception>
#include <iostream>
#include <optional>
#include <string_view>
#include <vector>

#include <asio/io_context.hpp>
#include <asio/signal_set.hpp>
#include <asio/steady_timer.hpp>

#include "blacklist.h"
#include "cluster_node.h"
#include "event_log.h"
#include "kovrel_version.h"
#include "options.h"
#include "room.h"
#include "server.h"
#include "state_import.h"
#include "state_store.h"

namespace {

using namespace kovrel::server;

// How long the clients get to log out when the server is told to stop.
constexpr std::chrono::seconds kLogoutGrace{2};
// How long a failing final write of the state is tried again before the server gives up.
constexpr std::chrono::seconds kFinalSavePatience{2};
// Cards expire by the day; looking once an hour is soon enough.
constexpr std::chrono::hours kCardExpiryInterval{1};

void expireCardsEveryHour(asio::steady_timer& timer, Room& room)
{
    room.expireCards();
    timer.expires_after(kCardExpiryInterval);
    timer.async_wait([&timer, &room](std::error_code ec) {
        if (!ec) {
            expireCardsEveryHour(timer, room);
        }
    });
}

int run(const ServerOptions& options)
{
    // First, so that it outlives everything that uses it.
    asio::io_context io;
    EventLog log(std::cerr, options.verbose);
    const Blacklist blacklist = options.blacklistFile ? Blacklist::load(*options.blacklistFile) : Blacklist();
    Room room(options.cards);
    std::optional<StateStore> store;
    if (options.stateFile) {
        // The room starts from the kept state, and from then on every change of it is written.
        std::unique_ptr<StateDatabase> database = openStateDatabase(*options.stateFile, log);
        StoredState state = database->load();
        room.restore(state);
        store.emplace(*options.stateFile, std::move(database), std::move(state), log);
        room.setKeptStateSink(&*store);
    }
    std::optional<ClusterNode> cluster;
    if (options.cluster) {
        cluster.emplace(io, room, *options.cluster, log);
        room.setLink(&*cluster);
        room.setKeptStateSink(&cluster->cardSink());
        cluster->start();
    }
    asio::steady_timer cardExpiry(io);
    expireCardsEveryHour(cardExpiry, room);
    Server server(io, room, blacklist, options.server, log);
    server.start();
    std::cout << "listening on " << server.localEndpoint() << std::endl;

    asio::steady_timer grace(io);
    asio::signal_set signals(io, SIGINT, SIGTERM);
    signals.async_wait([&](std::error_code ec, int signal) {
        if (!ec) {
            log.write("stopping", {}, {}, signal == SIGINT ? "SIGINT" : "SIGTERM");
            server.shutdown([&io] { io.stop(); });
            grace.expires_after(kLogoutGrace);
            grace.async_wait([&io](std::error_code ec) {
                if (!ec) {
                    io.stop();
                }
            });
        }
    });
    io.run();

    // Stopped: everybody logged out, or the grace period is over.
    signals.cancel();
    grace.cancel();
    cardExpiry.cancel();
    server.closeAll();
    if (cluster) {
        // The nicks of the users closed just now are given back before the connections close.
        cluster->finish();
        grace.expires_after(kLogoutGrace);
        grace.async_wait([&cluster](std::error_code ec) {
            if (!ec) {
                cluster->stop();
            }
        });
    }
    io.restart();
    io.run(); // the cancelled operations finish and release their sessions
    room.setLink(nullptr);
    room.setKeptStateSink(nullptr);
    if (store && !store->finish(kFinalSavePatience)) {
        log.write("stopped", {}, {}, "the state could not be saved");
        return 1;
    }
    log.write("stopped", {}, {});
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // A log reader that exits (a pipe into "tee", a restarted collector) must not take the server with it:
    // writes to the dead pipe fail with EPIPE instead of killing the process.
    std::signal(SIGPIPE, SIG_IGN);
    try {
        const std::vector<std::string_view> arguments(argv + 1, argv + argc);
        const ServerOptions options = parseOptions(arguments);
        if (options.version) {
            std::cout << "kovrel-server " << kovrel::kVersion << '\n';
            return 0;
        }
        if (options.help) {
            std::cout << usage();
            return 0;
        }
        return run(options);
    } catch (const kovrel::UsageError& error) {
        std::cerr << "kovrel-server: " << error.what() << "\nTry \"kovrel-server --help\".\n";
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "kovrel-server: " << error.what() << '\n';
        return 1;
    } catch (...) {
        std::cerr << "kovrel-server: unknown error\n";
        return 1;
    }
}

// kovrel-server: the chat server. See usage() in options.cpp for the command line.

#include <chrono>
#include <csignal>
#include <exception>
#include <iostream>
#include <optional>
#include <string_view>
#include <thread>
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

// What one thread serves: its own io_context, room, cluster connections and listening socket. A node of
// several threads has one shard per thread, listening on one port (the kernel shares the connections out)
// and meeting in Redis as nodes do, so that no state is shared between threads.
class Shard
{
public:
    Shard(const ServerOptions& options, const ServerSettings& settings, const Blacklist& blacklist,
          EventLog& log)
        : m_room(options.cards), m_cardExpiry(m_io), m_grace(m_io), m_signals(m_io, SIGINT, SIGTERM),
          m_log(log)
    {
        if (options.cluster) {
            m_cluster.emplace(m_io, m_room, *options.cluster, log);
            m_room.setLink(&*m_cluster);
            m_room.setKeptStateSink(&m_cluster->cardSink());
        }
        m_server.emplace(m_io, m_room, blacklist, settings, log);
    }

    Room& room() { return m_room; }
    asio::ip::tcp::endpoint localEndpoint() const { return m_server->localEndpoint(); }

    // Serves until SIGINT or SIGTERM, then lets the clients log out and closes what is left.
    void run(bool logSignal)
    {
        if (m_cluster) {
            m_cluster->start();
        }
        expireCardsEveryHour(m_cardExpiry, m_room);
        m_server->start();
        m_signals.async_wait([this, logSignal](std::error_code ec, int signal) {
            if (!ec) {
                stopping(logSignal ? signal : 0);
            }
        });
        m_io.run();
        // Stopped: everybody logged out, or the grace period is over.
        m_signals.cancel();
        m_grace.cancel();
        m_cardExpiry.cancel();
        m_server->closeAll();
        if (m_cluster) {
            // The nicks of the users closed just now are given back before the connections close.
            m_cluster->finish();
            m_grace.expires_after(kLogoutGrace);
            m_grace.async_wait([this](std::error_code ec) {
                if (!ec) {
                    m_cluster->stop();
                }
            });
        }
        m_io.restart();
        m_io.run(); // the cancelled operations finish and release their sessions
        m_room.setLink(nullptr);
        m_room.setKeptStateSink(nullptr);
    }

private:
    void stopping(int signal)
    {
        if (signal != 0) {
            m_log.write("stopping", {}, {}, signal == SIGINT ? "SIGINT" : "SIGTERM");
        }
        m_server->shutdown([this] { m_io.stop(); });
        m_grace.expires_after(kLogoutGrace);
        m_grace.async_wait([this](std::error_code ec) {
            if (!ec) {
                m_io.stop();
            }
        });
    }

    // First, so that it outlives everything that uses it.
    asio::io_context m_io{1};
    Room m_room;
    std::optional<ClusterNode> m_cluster;
    asio::steady_timer m_cardExpiry;
    asio::steady_timer m_grace;
    asio::signal_set m_signals;
    std::optional<Server> m_server;
    EventLog& m_log;
};

int run(const ServerOptions& options)
{
    EventLog log(std::cerr, options.verbose);
    const Blacklist blacklist = options.blacklistFile ? Blacklist::load(*options.blacklistFile) : Blacklist();
    std::vector<std::unique_ptr<Shard>> shards;
    ServerSettings settings = options.server;
    settings.sharePort = options.threads > 1;
    shards.push_back(std::make_unique<Shard>(options, settings, blacklist, log));
    // With port 0 the first shard picked the port; the others listen on the same one.
    settings.listen = shards.front()->localEndpoint();
    for (unsigned i = 1; i < options.threads; ++i) {
        shards.push_back(std::make_unique<Shard>(options, settings, blacklist, log));
    }
    std::optional<StateStore> store;
    if (options.stateFile) {
        // The room starts from the kept state, and from then on every change of it is written. (A state
        // file goes with a single thread only.)
        std::unique_ptr<StateDatabase> database = openStateDatabase(*options.stateFile, log);
        StoredState state = database->load();
        shards.front()->room().restore(state);
        store.emplace(*options.stateFile, std::move(database), std::move(state), log);
        shards.front()->room().setKeptStateSink(&*store);
    }
    std::cout << "listening on " << shards.front()->localEndpoint() << std::endl;

    std::vector<std::thread> threads;
    for (std::size_t i = 1; i < shards.size(); ++i) {
        threads.emplace_back([&shard = *shards[i]] { shard.run(false); });
    }
    shards.front()->run(true);
    for (std::thread& thread : threads) {
        thread.join();
    }
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

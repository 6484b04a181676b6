// SPDX-License-Identifier: GPL-3.0-or-later
// kovrel-server: the chat server. See usage() in options.cpp for the command line.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "account_book.h"
#include "account_command.h"
#include "accounts.h"
#include "blacklist.h"
#include "cluster_node.h"
#include "cluster_port.h"
#include "event_log.h"
#include "kovrel_version.h"
#include "open_files.h"
#include "options.h"
#include "server.h"
#include "shard.h"
#include "shard_hub.h"
#include "state_accounts.h"
#include "state_import.h"
#include "state_store.h"
#include "tls_certificate.h"

namespace {

using namespace kovrel::server;

// How long a failing final write of the state is tried again before the server gives up.
constexpr std::chrono::seconds kFinalSavePatience{2};

// The Redis password may come from the environment (a systemd EnvironmentFile readable by root only)
// rather than from the command line, which every user of the machine can read.
ServerOptions withRedisPasswordFromEnvironment(ServerOptions options)
{
    const char* password = std::getenv("KOVREL_REDIS_PASSWORD");
    if (options.cluster && options.cluster->redis.password.empty() && password != nullptr) {
        options.cluster->redis.password = password;
    }
    return options;
}

// The server raises its own limit; it can still be below what --max-clients needs.
void checkOpenFileLimit(std::size_t maxClients, EventLog& log)
{
    // The listening sockets, the state database, Redis, the event loops.
    constexpr std::size_t kOwnDescriptors = 64;
    const std::optional<std::size_t> limit = kovrel::raiseOpenFileLimit();
    if (limit && *limit < maxClients + kOwnDescriptors) {
        log.write("limit", {}, {},
                  "open files limited to " + std::to_string(*limit) +
                      ": fewer connections than --max-clients can be served");
    }
}

// The certificate and key of the TLS listeners: the administrator's, else the server's own.
CertificateFiles certificateFiles(const ServerOptions& options)
{
    if (options.tlsCertificate) {
        return {*options.tlsCertificate, *options.tlsKey};
    }
    return ownCertificate(options.tlsDir ? *options.tlsDir : ownCertificateFolder(options.stateFile));
}

// The reserved nicks: those of the state database, or the copy a cluster's node keeps of those in Redis,
// and the checks of their passwords. None without --state or --cluster.
class ServerAccounts
{
public:
    // After the state database has been opened (and an old state file imported).
    ServerAccounts(const ServerOptions& options, EventLog& log)
    {
        // A check keeps a core busy for about a tenth of a second: at most half of them, and two at most,
        // check at once.
        const unsigned threads = std::clamp(std::thread::hardware_concurrency() / 2, 1u, 2u);
        if (options.stateFile) {
            m_checks.emplace(m_database.emplace(*options.stateFile, log), threads);
        } else if (options.cluster) {
            m_checks.emplace(m_clusterCopy, threads);
        }
    }

    Accounts* get() { return m_checks ? &*m_checks : nullptr; }
    // Where a cluster's node copies the accounts.
    AccountCache& clusterCopy() { return m_clusterCopy; }

private:
    std::optional<StateAccounts> m_database;
    AccountCache m_clusterCopy;
    std::optional<Accounts> m_checks;
};

using Shards = std::vector<std::unique_ptr<Shard>>;

// One shard per thread.
Shards makeShards(const ServerOptions& options, const Blacklist& blacklist, ConnectionCount& count,
                  EventLog& log, asio::ssl::context* tls, Accounts* accounts)
{
    ServerSettings settings = options.server;
    settings.sharePort = options.threads > 1;
    Shards shards;
    shards.push_back(std::make_unique<Shard>(options.cards, settings, blacklist, count, log, tls, accounts));
    // With port 0 the first shard picked the ports; the others listen on the same ones.
    settings.listen = shards.front()->listening();
    for (unsigned i = 1; i < options.threads; ++i) {
        shards.push_back(
            std::make_unique<Shard>(options.cards, settings, blacklist, count, log, tls, accounts));
    }
    return shards;
}

// Logs the TLS listeners with the fingerprint that clients can check the certificate by, and prints every
// address listened on, the plain one first.
void announce(const ListenAddresses& listening, const std::optional<CertificateFiles>& certificate,
              EventLog& log)
{
    for (const asio::ip::tcp::endpoint& endpoint : listening.tls) {
        std::ostringstream detail;
        detail << "listening on " << endpoint << ", certificate SHA-256 "
               << sha256Fingerprint(certificate->certificate);
        log.write("tls", {}, {}, detail.str());
    }
    if (listening.plain) {
        std::cout << "listening on " << *listening.plain << '\n';
    }
    for (const asio::ip::tcp::endpoint& endpoint : listening.tls) {
        std::cout << "listening on " << endpoint << " (TLS)\n";
    }
    std::cout.flush();
}

// Runs each shard on a thread of its own, the first on this one, until all of them stop; `closed` runs on
// each thread once its connections are closed.
void serve(const Shards& shards, const std::function<void()>& closed)
{
    std::vector<std::thread> threads;
    for (std::size_t i = 1; i < shards.size(); ++i) {
        threads.emplace_back([&shard = *shards[i], &closed] { shard.run(false, closed); });
    }
    shards.front()->run(true, closed);
    for (std::thread& thread : threads) {
        thread.join();
    }
}

int run(const ServerOptions& options)
{
    EventLog log(std::cerr, options.verbose);
    checkOpenFileLimit(options.server.maxClients, log);
    const Blacklist blacklist = options.blacklistFile ? Blacklist::load(*options.blacklistFile) : Blacklist();
    ConnectionCount count(options.server.maxClients, options.server.maxPerAddress);
    std::optional<CertificateFiles> certificate;
    std::optional<asio::ssl::context> tls;
    if (!options.server.listen.tls.empty()) {
        certificate = certificateFiles(options);
        tls.emplace(tlsServerContext(*certificate));
    }
    // The state database first: the accounts in it are looked up from the first connection on.
    std::unique_ptr<StateDatabase> database;
    if (options.stateFile) {
        database = openStateDatabase(*options.stateFile, log);
    }
    ServerAccounts accounts(options, log);
    const Shards shards = makeShards(options, blacklist, count, log, tls ? &*tls : nullptr, accounts.get());
    shards.front()->watchListenQueue();

    // Every room starts from the kept state, and from then on every change of it is written.
    std::optional<StateStore> store;
    if (database) {
        StoredState state = database->load();
        for (const auto& shard : shards) {
            shard->room().restore(state);
        }
        store.emplace(*options.stateFile, std::move(database), std::move(state), log);
    }
    // The threads share their room here. In a cluster the process is one node, whose Redis work runs on
    // the first thread's event loop.
    std::optional<ShardHub> hub;
    std::optional<ClusterNode> cluster;
    std::optional<ClusterPort> port;
    if (shards.size() > 1 || options.cluster) {
        hub.emplace(store ? &*store : nullptr);
        for (const auto& shard : shards) {
            hub->attach(shard->io(), shard->room());
        }
    } else if (store) {
        shards.front()->room().setKeptStateSink(&*store);
    }
    if (options.cluster) {
        asio::io_context& io = shards.front()->io();
        cluster.emplace(io, *hub, *options.cluster, log, accounts.clusterCopy());
        port.emplace(io, *cluster, shards.size());
        hub->joinCluster(*port, port->cardSink());
        cluster->start();
    }
    announce(shards.front()->listening(), certificate, log);

    // The nicks of the users closed at the end are given back before the node leaves the cluster.
    serve(shards, [&port] {
        if (port) {
            port->closing(Shard::kLogoutGrace);
        }
    });
    // Before the shards go away: the outcome of a check goes to a shard's event loop.
    if (Accounts* checks = accounts.get()) {
        checks->stop();
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
        if (options.fingerprint) {
            std::cout << sha256Fingerprint(certificateFiles(options).certificate) << '\n';
            return 0;
        }
        if (options.accountCommand) {
            runAccountCommand(withRedisPasswordFromEnvironment(options));
            return 0;
        }
        return run(withRedisPasswordFromEnvironment(options));
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

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/ssl/context.hpp>
#include <asio/steady_timer.hpp>

#include "bench_client.h"
#include "bench_options.h"
#include "process_cpu.h"

namespace kovrel::bench {

struct StormSummary
{
    int connected = 0;
    int refused = 0; // could not connect
    int lost = 0;    // connected, then closed by the server or failed otherwise
    int loggedIn = 0;
    int seeEveryone = 0;
    double seconds = 0; // from the start of the log-ins until everyone saw everyone
};

struct BenchSummary
{
    int clients = 0;
    int failedClients = 0;
    std::uint64_t sent = 0;
    std::uint64_t deliveries = 0;
    double deliveriesPerSecond = 0;
    double p50Ms = 0;
    double p99Ms = 0;
    double maxMs = 0;
    std::uint64_t lost = 0;
    std::uint64_t corrupted = 0;
    std::optional<StormSummary> storm;
    // Over the measured phase, with --server-pid; nothing when that phase never began or a server process
    // could no longer be read.
    bool serverCpuAsked = false;
    std::optional<CpuTimes> serverCpu;

    bool clean() const;
    std::string line() const;
};

// Connects every client, logs them in, starts the sending once every client sees all the others, waits until
// every message has arrived (or nothing has moved for the timeout), logs everyone out and sums up. In a storm
// the log-ins wait until every connection is made and then start together, and no message is sent. The
// clients run on worker threads; the run itself, on the calling thread, hears of them through posted events.
class BenchRun : public ClientEvents
{
public:
    explicit BenchRun(const BenchOptions& options);

    // Runs to the end; throws std::system_error when the server's address does not resolve.
    BenchSummary run();

private:
    using WorkGuard = asio::executor_work_guard<asio::io_context::executor_type>;

    void connected(BenchClient& client) override;
    void loggedIn(BenchClient& client) override;
    void allReceived(BenchClient& client) override;
    void loggedOut(BenchClient& client) override;
    void failed(BenchClient& client, std::string_view why) override;

    // Moves to the next phase once every client still alive has got there.
    void advance();
    void startLoggingIn();
    void startSending();
    void logOut();
    // The measured phase: the sending, or the storm.
    void startMeasuring();
    void stopMeasuring();
    void stop();
    void doWatch();
    std::uint64_t progress() const;
    BenchSummary summarize() const;
    void summarizeSending(BenchSummary& summary) const;
    StormSummary summarizeStorm() const;

    enum class Phase
    {
        Connecting,
        LoggingIn,
        Sending,
        LoggingOut,
        Done
    };

    const BenchOptions& m_options;
    std::optional<asio::ssl::context> m_tls; // with --tls, shared by every client
    asio::io_context m_io;
    asio::steady_timer m_watchdog;
    std::vector<std::unique_ptr<asio::io_context>> m_workers;
    std::vector<WorkGuard> m_workGuards;
    std::vector<std::thread> m_threads;
    std::vector<std::unique_ptr<BenchClient>> m_clients;
    Phase m_phase = Phase::Connecting;
    int m_connected = 0;
    int m_connectFailed = 0;
    int m_loggedIn = 0;
    int m_finished = 0;
    int m_loggedOut = 0;
    int m_failed = 0;
    bool m_measuring = false;
    Clock::time_point m_measureStart{};
    Clock::time_point m_measureEnd{};
    std::optional<CpuTimes> m_serverCpuAtStart;
    std::optional<CpuTimes> m_serverCpuAtEnd;
    std::uint64_t m_lastProgress = 0;
    Clock::time_point m_lastProgressAt{};
};

} // namespace kovrel::bench

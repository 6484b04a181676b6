// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench_run.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>

namespace kovrel::bench {
namespace {

constexpr std::chrono::milliseconds kWatchInterval{200};

double percentileMs(std::vector<std::uint32_t>& micros, double fraction)
{
    if (micros.empty()) {
        return 0;
    }
    const auto nth =
        micros.begin() + static_cast<std::ptrdiff_t>(fraction * static_cast<double>(micros.size() - 1));
    std::nth_element(micros.begin(), nth, micros.end());
    return *nth / 1000.0;
}

template <typename... Values> std::string format(const char* pattern, Values... values)
{
    char text[256];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

std::string sendingText(const BenchSummary& summary)
{
    return format("clients %d, sent %llu, deliveries %llu, deliveries/s %.0f, latency ms p50 %.2f p99 %.2f "
                  "max %.2f, lost %llu, corrupted %llu",
                  summary.clients, static_cast<unsigned long long>(summary.sent),
                  static_cast<unsigned long long>(summary.deliveries), summary.deliveriesPerSecond,
                  summary.p50Ms, summary.p99Ms, summary.maxMs, static_cast<unsigned long long>(summary.lost),
                  static_cast<unsigned long long>(summary.corrupted));
}

std::string stormText(int clients, const StormSummary& storm)
{
    const std::string counts = format("storm: clients %d, connected %d, refused %d, lost %d, logged in %d, ",
                                      clients, storm.connected, storm.refused, storm.lost, storm.loggedIn);
    return counts + (storm.seeEveryone == clients
                         ? format("all seen in %.2f s", storm.seconds)
                         : format("not all seen (%d saw everyone)", storm.seeEveryone));
}

// With `deliveries`, the sending mode's CPU time per delivery too.
std::string serverCpuText(const std::optional<CpuTimes>& cpu, std::optional<std::uint64_t> deliveries)
{
    if (!cpu) {
        return ", server CPU unknown";
    }
    const double total = cpu->user + cpu->system;
    const std::string times = format(", server CPU user %.2f s, system %.2f s (%.0f %% kernel)", cpu->user,
                                     cpu->system, total > 0 ? 100 * cpu->system / total : 0.0);
    if (!deliveries) {
        return times;
    }
    const double perDelivery = *deliveries > 0 ? total * 1e6 / static_cast<double>(*deliveries) : 0;
    return times + format(", per delivery %.2f \u00b5s", perDelivery);
}

} // namespace

bool BenchSummary::clean() const
{
    if (storm) {
        return storm->refused == 0 && storm->lost == 0 && storm->seeEveryone == clients;
    }
    return failedClients == 0 && lost == 0 && corrupted == 0;
}

std::string BenchSummary::line() const
{
    const std::string counts = storm ? stormText(clients, *storm) : sendingText(*this);
    if (!serverCpuAsked) {
        return counts;
    }
    return counts + serverCpuText(serverCpu, storm ? std::nullopt : std::optional(deliveries));
}

BenchRun::BenchRun(const BenchOptions& options) : m_options(options), m_watchdog(m_io)
{
    if (options.tls) {
        m_tls.emplace(acceptAnyCertificate());
    }
    for (int i = 0; i < options.threads; ++i) {
        m_workers.push_back(std::make_unique<asio::io_context>(1));
        m_workGuards.push_back(asio::make_work_guard(*m_workers.back()));
    }
}

BenchSummary BenchRun::run()
{
    asio::ip::tcp::resolver resolver(m_io);
    std::vector<asio::ip::tcp::resolver::results_type> servers;
    for (const BenchServer& server : m_options.servers) {
        servers.push_back(resolver.resolve(server.host, server.port));
    }
    const Clock::time_point epoch = Clock::now();
    for (int i = 0; i < m_options.clients; ++i) {
        asio::io_context& worker = *m_workers[static_cast<std::size_t>(i % m_options.threads)];
        m_clients.push_back(
            std::make_unique<BenchClient>(worker, m_tls ? &*m_tls : nullptr, m_options, i, epoch, *this));
        m_clients.back()->connect(servers[static_cast<std::size_t>(i) % servers.size()]);
    }
    for (const auto& worker : m_workers) {
        m_threads.emplace_back([&context = *worker] { context.run(); });
    }
    m_lastProgressAt = Clock::now();
    doWatch();
    m_io.run();
    stop();
    stopMeasuring(); // given up before the measured phase ended
    return summarize();
}

void BenchRun::connected(BenchClient&)
{
    asio::post(m_io, [this] {
        ++m_connected;
        advance();
    });
}

void BenchRun::loggedIn(BenchClient&)
{
    asio::post(m_io, [this] {
        ++m_loggedIn;
        advance();
    });
}

void BenchRun::allReceived(BenchClient&)
{
    asio::post(m_io, [this] {
        ++m_finished;
        advance();
    });
}

void BenchRun::loggedOut(BenchClient&)
{
    asio::post(m_io, [this] {
        ++m_loggedOut;
        advance();
    });
}

void BenchRun::failed(BenchClient& client, std::string_view why)
{
    // Called on the client's own thread, where its counts may be read.
    const bool connected = client.counts().connected;
    asio::post(m_io, [this, connected, message = client.nick() + ": " + std::string(why)] {
        std::cerr << message << '\n';
        ++m_failed;
        m_connectFailed += connected ? 0 : 1;
        advance();
    });
}

void BenchRun::advance()
{
    const int alive = m_options.clients - m_failed;
    if (m_phase == Phase::Connecting && m_connected + m_connectFailed >= m_options.clients) {
        startLoggingIn();
    } else if (m_phase == Phase::LoggingIn && m_loggedIn >= alive) {
        m_options.storm ? logOut() : startSending();
    } else if (m_phase == Phase::Sending && m_finished >= alive) {
        logOut();
    } else if (m_phase == Phase::LoggingOut && m_loggedOut >= alive) {
        m_phase = Phase::Done;
        m_io.stop();
        return;
    } else {
        return;
    }
    advance(); // the next phase may have nobody left to wait for
}

// Without --storm the clients have been logging in since they connected.
void BenchRun::startLoggingIn()
{
    m_phase = Phase::LoggingIn;
    if (!m_options.storm) {
        return;
    }
    startMeasuring();
    for (const auto& client : m_clients) {
        asio::post(client->executor(), [&client = *client] { client.login(); });
    }
}

void BenchRun::startSending()
{
    m_phase = Phase::Sending;
    startMeasuring();
    for (const auto& client : m_clients) {
        asio::post(client->executor(),
                   [&client = *client, start = m_measureStart] { client.startSending(start); });
    }
}

void BenchRun::logOut()
{
    stopMeasuring();
    m_phase = Phase::LoggingOut;
    for (const auto& client : m_clients) {
        asio::post(client->executor(), [&client = *client] { client.logout(); });
    }
}

void BenchRun::doWatch()
{
    m_watchdog.expires_after(kWatchInterval);
    m_watchdog.async_wait([this](std::error_code ec) {
        if (ec || m_phase == Phase::Done) {
            return;
        }
        const Clock::time_point now = Clock::now();
        if (const std::uint64_t current = progress(); current != m_lastProgress) {
            m_lastProgress = current;
            m_lastProgressAt = now;
        } else if (now - m_lastProgressAt > m_options.timeout) {
            std::cerr << "no progress for " << m_options.timeout.count() << " s: giving up\n";
            if (m_phase == Phase::Sending) {
                logOut(); // what has not arrived counts as lost
                advance();
            } else {
                m_io.stop();
                return;
            }
            m_lastProgressAt = now;
        }
        doWatch();
    });
}

std::uint64_t BenchRun::progress() const
{
    std::uint64_t total = static_cast<std::uint64_t>(m_connected + m_loggedIn + m_loggedOut + m_failed);
    for (const auto& client : m_clients) {
        total += client->progressSoFar();
    }
    return total;
}

void BenchRun::startMeasuring()
{
    m_measuring = true;
    m_serverCpuAtStart = totalCpuTimes(m_options.serverPids);
    m_measureStart = Clock::now();
}

void BenchRun::stopMeasuring()
{
    if (!m_measuring) {
        return;
    }
    m_measuring = false;
    m_measureEnd = Clock::now();
    m_serverCpuAtEnd = totalCpuTimes(m_options.serverPids);
}

void BenchRun::stop()
{
    m_workGuards.clear();
    for (const auto& worker : m_workers) {
        worker->stop();
    }
    for (std::thread& thread : m_threads) {
        thread.join();
    }
}

BenchSummary BenchRun::summarize() const
{
    BenchSummary summary;
    summary.clients = m_options.clients;
    if (m_options.storm) {
        summary.storm = summarizeStorm();
    } else {
        summarizeSending(summary);
    }
    summary.serverCpuAsked = !m_options.serverPids.empty();
    if (m_serverCpuAtStart && m_serverCpuAtEnd) {
        summary.serverCpu = *m_serverCpuAtEnd - *m_serverCpuAtStart;
    }
    return summary;
}

StormSummary BenchRun::summarizeStorm() const
{
    StormSummary storm;
    for (const auto& client : m_clients) {
        const ClientCounts& counts = client->counts();
        storm.connected += counts.connected ? 1 : 0;
        storm.refused += counts.connected ? 0 : 1;
        storm.lost += counts.connected && counts.failed ? 1 : 0;
        storm.loggedIn += counts.loggedIn ? 1 : 0;
        storm.seeEveryone += counts.seesEveryone ? 1 : 0;
    }
    storm.seconds = std::chrono::duration<double>(m_measureEnd - m_measureStart).count();
    return storm;
}

void BenchRun::summarizeSending(BenchSummary& summary) const
{
    const bool stuckBeforeSending = m_phase == Phase::Connecting || m_phase == Phase::LoggingIn;
    summary.failedClients = m_failed + (stuckBeforeSending ? m_options.clients - m_loggedIn - m_failed : 0);
    std::vector<std::uint32_t> latencies;
    Clock::time_point lastDelivery = m_measureStart;
    for (const auto& client : m_clients) {
        const ClientCounts& counts = client->counts();
        summary.sent += counts.sent;
        summary.deliveries += counts.deliveries;
        summary.lost += counts.expected - counts.arrived;
        summary.corrupted += counts.corrupted;
        lastDelivery = std::max(lastDelivery, counts.lastDelivery);
        latencies.insert(latencies.end(), client->latencies().begin(), client->latencies().end());
    }
    const double seconds = std::chrono::duration<double>(lastDelivery - m_measureStart).count();
    summary.deliveriesPerSecond = seconds > 0 ? static_cast<double>(summary.deliveries) / seconds : 0;
    summary.p50Ms = percentileMs(latencies, 0.50);
    summary.p99Ms = percentileMs(latencies, 0.99);
    summary.maxMs = latencies.empty() ? 0 : *std::max_element(latencies.begin(), latencies.end()) / 1000.0;
}

} // namespace kovrel::bench

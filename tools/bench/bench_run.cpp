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

} // namespace

std::string BenchSummary::line() const
{
    char text[256];
    std::snprintf(text, sizeof text,
                  "clients %d, sent %llu, deliveries %llu, deliveries/s %.0f, latency ms p50 %.2f p99 %.2f "
                  "max %.2f, lost %llu, corrupted %llu",
                  clients, static_cast<unsigned long long>(sent), static_cast<unsigned long long>(deliveries),
                  deliveriesPerSecond, p50Ms, p99Ms, maxMs, static_cast<unsigned long long>(lost),
                  static_cast<unsigned long long>(corrupted));
    return text;
}

BenchRun::BenchRun(const BenchOptions& options) : m_options(options), m_watchdog(m_io)
{
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
        m_clients.push_back(std::make_unique<BenchClient>(worker, m_options, i, epoch, *this));
        m_clients.back()->connect(servers[static_cast<std::size_t>(i) % servers.size()]);
    }
    for (const auto& worker : m_workers) {
        m_threads.emplace_back([&context = *worker] { context.run(); });
    }
    m_lastProgressAt = Clock::now();
    doWatch();
    m_io.run();
    stop();
    return summarize();
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
    asio::post(m_io, [this, message = client.nick() + ": " + std::string(why)] {
        std::cerr << message << '\n';
        ++m_failed;
        advance();
    });
}

void BenchRun::advance()
{
    const int alive = m_options.clients - m_failed;
    if (m_phase == Phase::LoggingIn && m_loggedIn >= alive) {
        startSending();
    } else if (m_phase == Phase::Sending && m_finished >= alive) {
        finishSending();
    } else if (m_phase == Phase::LoggingOut && m_loggedOut >= alive) {
        m_phase = Phase::Done;
        m_io.stop();
        return;
    } else {
        return;
    }
    advance(); // the next phase may have nobody left to wait for
}

void BenchRun::startSending()
{
    m_phase = Phase::Sending;
    m_sendStart = Clock::now();
    for (const auto& client : m_clients) {
        asio::post(client->executor(),
                   [&client = *client, start = m_sendStart] { client.startSending(start); });
    }
}

void BenchRun::finishSending()
{
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
                finishSending(); // what has not arrived counts as lost
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
    std::uint64_t total = static_cast<std::uint64_t>(m_loggedIn + m_loggedOut + m_failed);
    for (const auto& client : m_clients) {
        total += client->deliveriesSoFar();
    }
    return total;
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
    summary.failedClients =
        m_failed + (m_phase == Phase::LoggingIn ? m_options.clients - m_loggedIn - m_failed : 0);
    std::vector<std::uint32_t> latencies;
    Clock::time_point lastDelivery = m_sendStart;
    for (const auto& client : m_clients) {
        const ClientCounts& counts = client->counts();
        summary.sent += counts.sent;
        summary.deliveries += counts.deliveries;
        summary.lost += counts.expected - counts.arrived;
        summary.corrupted += counts.corrupted;
        lastDelivery = std::max(lastDelivery, counts.lastDelivery);
        latencies.insert(latencies.end(), client->latencies().begin(), client->latencies().end());
    }
    const double seconds = std::chrono::duration<double>(lastDelivery - m_sendStart).count();
    summary.deliveriesPerSecond = seconds > 0 ? static_cast<double>(summary.deliveries) / seconds : 0;
    summary.p50Ms = percentileMs(latencies, 0.50);
    summary.p99Ms = percentileMs(latencies, 0.99);
    summary.maxMs = latencies.empty() ? 0 : *std::max_element(latencies.begin(), latencies.end()) / 1000.0;
    return summary;
}

} // namespace kovrel::bench

// SPDX-License-Identifier: GPL-3.0-or-later
#include "shard.h"

#include <chrono>
#include <csignal>

namespace kovrel::server {
namespace {

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

} // namespace

Shard::Shard(CardBook::Limits cards, const ServerSettings& settings, const Blacklist& blacklist,
             ConnectionCount& count, EventLog& log, asio::ssl::context* tls, Accounts* accounts)
    : m_room(cards), m_cardExpiry(m_io), m_grace(m_io), m_signals(m_io, SIGINT, SIGTERM), m_log(log),
      m_backlog(listenBacklog(settings.backlog))
{
    m_server.emplace(m_io, m_room, blacklist, count, settings, log, tls, accounts);
}

void Shard::run(bool logSignal, const std::function<void()>& closed)
{
    expireCardsEveryHour(m_cardExpiry, m_room);
    if (m_listenWatch) {
        m_listenWatch->start();
    }
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
    if (m_listenWatch) {
        m_listenWatch->stop();
    }
    m_server->closeAll();
    if (closed) {
        closed();
    }
    m_io.restart();
    m_io.run(); // the cancelled operations finish and release their sessions
    m_room.setLink(nullptr);
    m_room.setKeptStateSink(nullptr);
}

void Shard::stopping(int signal)
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

} // namespace kovrel::server

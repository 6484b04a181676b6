#include "shard.h"

#include <chrono>
#include <csignal>

namespace kovrel::server {
namespace {

// How long the clients get to log out when the server is told to stop.
constexpr std::chrono::seconds kLogoutGrace{2};
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

Shard::Shard(CardBook::Limits cards, const std::optional<ClusterSettings>& cluster,
             const ServerSettings& settings, const Blacklist& blacklist, ConnectionCount& count,
             EventLog& log)
    : m_room(cards), m_cardExpiry(m_io), m_grace(m_io), m_signals(m_io, SIGINT, SIGTERM), m_log(log)
{
    if (cluster) {
        m_cluster.emplace(m_io, m_room, *cluster, log);
        m_room.setLink(&*m_cluster);
        m_room.setKeptStateSink(&m_cluster->cardSink());
    }
    m_server.emplace(m_io, m_room, blacklist, count, settings, log);
}

void Shard::run(bool logSignal)
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

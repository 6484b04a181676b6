// SPDX-License-Identifier: GPL-3.0-or-later
#include "cluster_node.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <random>
#include <utility>

#include "cluster_fields.h"

namespace kovrel::server {
namespace {

std::string randomNodeId()
{
    std::random_device device;
    const std::uint64_t value = (std::uint64_t{device()} << 32) | device();
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

} // namespace

ClusterNode::ClusterNode(asio::io_context& io, LocalRooms& rooms, ClusterSettings settings, EventLog& log,
                         AccountCache& accounts)
    : m_settings(std::move(settings)), m_rooms(rooms), m_log(log), m_id(randomNodeId()),
      m_commands(io, m_settings.redis, m_id + "/commands", log),
      m_channels(io, m_settings.redis, m_id + "/channels", log),
      m_registry(m_commands, rooms, m_id, m_settings.presenceTtl, log),
      m_relay(m_commands, m_id, m_settings.redis.database, log),
      m_kept(
          m_commands, rooms, m_relay, [this] { return ready(); }, m_id, log),
      m_accounts(m_commands, accounts, m_id, log), m_refresh(io), m_deadline(io)
{
    m_commands.onStateChange([this](bool) { connectionChanged(); });
    m_channels.onStateChange([this](bool up) {
        if (up) {
            m_channels.subscribe({m_relay.roomChannel(), m_relay.nodeChannel()});
        }
        connectionChanged();
    });
    m_channels.onMessage(
        [this](std::string_view channel, std::string_view payload) { received(channel, payload); });
}

void ClusterNode::start()
{
    m_log.write("cluster", m_id, {},
                "joining through " + m_settings.redis.text() + "; log-ins are refused until it answers");
    m_commands.start();
    m_channels.start();
    refreshEvery();
}

void ClusterNode::finish(std::chrono::milliseconds patience)
{
    m_finished = true;
    m_refresh.cancel();
    m_commands.finish();
    m_channels.finish();
    m_deadline.expires_after(patience);
    m_deadline.async_wait([this](std::error_code ec) {
        if (!ec) {
            stop();
        }
    });
}

void ClusterNode::stop()
{
    m_finished = true;
    m_refresh.cancel();
    m_deadline.cancel();
    m_commands.stop();
    m_channels.stop();
}

void ClusterNode::connectionChanged()
{
    const bool now = ready();
    if (m_finished || now == m_wasReady) {
        return;
    }
    m_wasReady = now;
    m_registry.logNextRosterRead();
    if (!now) {
        m_log.write(
            "cluster", m_id, {},
            "Redis unreachable: new log-ins are refused, the users connected here are served locally");
        return;
    }
    m_log.write("cluster", m_id, {}, "Redis reachable: log-ins accepted");
    m_relay.reportUnpublished();
    // Before the roster: the accounts are known by the time the roster read is logged.
    m_accounts.read();
    m_registry.refresh();
    m_kept.caughtUp();
}

void ClusterNode::refreshEvery()
{
    m_refresh.expires_after(m_settings.presenceTtl / 3);
    m_refresh.async_wait([this](std::error_code ec) {
        if (ec) {
            return;
        }
        if (ready()) {
            m_registry.refresh();
        }
        refreshEvery();
    });
}

void ClusterNode::received(std::string_view channel, std::string_view payload)
{
    std::optional<EventRelay::Event> event = m_relay.received(channel, payload);
    if (!event) {
        return;
    }
    if (event->kind == "chat") {
        // Encoded once by the sending node, shared by every recipient of this one.
        m_rooms.broadcast(std::make_shared<const std::string>(event->rest));
    } else if (event->kind == "private") {
        const std::string_view nick = takeField(event->rest);
        m_rooms.deliver(nick, std::make_shared<const std::string>(event->rest));
    } else if (event->kind == "topic" || event->kind == "card" || event->kind == "uncard") {
        m_kept.received(event->kind, event->rest);
    } else if (event->kind == RedisAccounts::kChanged) {
        m_accounts.read();
    } else {
        m_registry.received(event->kind, event->node, event->rest);
    }
}

void ClusterNode::claimNick(std::string_view nick, std::string_view address, ClaimDone done)
{
    // Until the accounts are known, any nick may be reserved.
    if (!ready() || !m_accounts.known()) {
        done(Claim::Unavailable);
        return;
    }
    m_registry.claim(nick, address, std::move(done));
}

void ClusterNode::releaseNick(std::string_view nick)
{
    m_registry.release(nick);
}

void ClusterNode::joined(std::string_view nick, std::string_view address)
{
    m_registry.joined(nick, address);
    m_relay.publish("join", std::string(nick) + kFieldSeparator + std::string(address));
}

void ClusterNode::left(std::string_view nick)
{
    m_registry.left(nick);
    m_relay.publish("leave", nick);
}

void ClusterNode::stateChanged(std::string_view nick, std::string_view address, int state)
{
    m_registry.stateChanged(nick, address, state);
    m_relay.publish("state", std::string(nick) + kFieldSeparator + std::to_string(state));
}

void ClusterNode::topicChanged(std::string_view topic)
{
    m_kept.topicChanged(topic);
}

void ClusterNode::chatSent(const SharedBytes& bytes)
{
    m_relay.publish("chat", *bytes);
}

void ClusterNode::privateSent(std::string_view node, std::string_view nick, const SharedBytes& bytes)
{
    m_relay.publishPrivate(node, nick, bytes);
}

} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
#include "cluster_port.h"

#include <utility>

#include <asio/post.hpp>

namespace kovrel::server {

ClusterPort::ClusterPort(asio::io_context& io, ClusterNode& node, std::size_t threads)
    : m_io(io), m_node(node), m_work(io.get_executor()), m_open(threads)
{}

template <typename Call> void ClusterPort::post(Call call)
{
    asio::post(m_io, [&node = m_node, call = std::move(call)] { call(node); });
}

void ClusterPort::closing(std::chrono::milliseconds patience)
{
    asio::post(m_io, [this, patience] {
        if (--m_open == 0) {
            m_node.finish(patience);
            m_work.reset();
        }
    });
}

void ClusterPort::claimNick(std::string_view nick, std::string_view address, ClaimDone done)
{
    post([nick = std::string(nick), address = std::string(address),
          done = std::move(done)](ClusterNode& node) { node.claimNick(nick, address, done); });
}

void ClusterPort::releaseNick(std::string_view nick)
{
    post([nick = std::string(nick)](ClusterNode& node) { node.releaseNick(nick); });
}

void ClusterPort::joined(std::string_view nick, std::string_view address)
{
    post([nick = std::string(nick), address = std::string(address)](ClusterNode& node) {
        node.joined(nick, address);
    });
}

void ClusterPort::left(std::string_view nick)
{
    post([nick = std::string(nick)](ClusterNode& node) { node.left(nick); });
}

void ClusterPort::stateChanged(std::string_view nick, std::string_view address, int state)
{
    post([nick = std::string(nick), address = std::string(address), state](ClusterNode& node) {
        node.stateChanged(nick, address, state);
    });
}

void ClusterPort::topicChanged(std::string_view topic)
{
    post([topic = std::string(topic)](ClusterNode& node) { node.topicChanged(topic); });
}

void ClusterPort::chatSent(const SharedBytes& bytes)
{
    post([bytes](ClusterNode& node) { node.chatSent(bytes); });
}

void ClusterPort::privateSent(std::string_view node, std::string_view nick, const SharedBytes& bytes)
{
    post([to = std::string(node), nick = std::string(nick), bytes](ClusterNode& node) {
        node.privateSent(to, nick, bytes);
    });
}

void ClusterPort::Cards::cardStored(const StoredCard& card)
{
    m_port.post([card](ClusterNode& node) { node.cardSink().cardStored(card); });
}

void ClusterPort::Cards::cardRemoved(const std::string& key)
{
    m_port.post([key](ClusterNode& node) { node.cardSink().cardRemoved(key); });
}

} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>

#include "cluster_node.h"
#include "kept_state.h"
#include "participant.h"
#include "room_link.h"

namespace kovrel::server {

// How the threads of a process reach its cluster node, which runs on one event loop: every call is posted
// to that loop, in the order it was made, and a claim is answered there. The node's connections close once
// every thread has closed its own connections and given their nicks back.
class ClusterPort : public RoomLink
{
public:
    // `threads`: how many threads report closing() before the node finishes.
    ClusterPort(asio::io_context& io, ClusterNode& node, std::size_t threads);

    // Where the rooms report their card changes. (The topic goes through the link.)
    KeptStateSink& cardSink() { return m_cards; }

    // A thread has closed its connections; the last one lets the node finish within `patience`.
    void closing(std::chrono::milliseconds patience);

    void claimNick(std::string_view nick, std::string_view address, ClaimDone done) override;
    void releaseNick(std::string_view nick) override;
    void joined(std::string_view nick, std::string_view address) override;
    void left(std::string_view nick) override;
    void stateChanged(std::string_view nick, std::string_view address, int state) override;
    void topicChanged(std::string_view topic) override;
    void chatSent(const SharedBytes& bytes) override;
    void privateSent(std::string_view node, std::string_view nick, const SharedBytes& bytes) override;

private:
    class Cards : public KeptStateSink
    {
    public:
        explicit Cards(ClusterPort& port) : m_port(port) {}
        void topicChanged(std::string_view) override {}
        void cardStored(const StoredCard& card) override;
        void cardRemoved(const std::string& key) override;

    private:
        ClusterPort& m_port;
    };

    // Runs `call` with the node, on the node's loop.
    template <typename Call> void post(Call call);

    asio::io_context& m_io;
    ClusterNode& m_node;
    Cards m_cards{*this};
    // Keeps the node's loop running until every thread has closed; touched on that loop only.
    asio::executor_work_guard<asio::io_context::executor_type> m_work;
    std::size_t m_open;
};

} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>

#include <chrono>
#include <cstdint>
#include <memory>
#include <ostream>
#include <random>

namespace kovrel::soak {

struct FaultSettings
{
    unsigned short upstreamPort = 0;
    std::uint32_t seed = 1;
    // The mean time a connection runs between two faults.
    std::chrono::seconds meanFaultInterval{20};
    // The share of new connections closed as soon as they are accepted.
    double acceptCloseShare = 0.1;
};

// A TCP proxy on 127.0.0.1 for a bad network between a client and its server: every stream is cut at
// random points and its pieces delayed, and every connection, at random moments, has one direction stalled
// for seconds, is reset, or is black-holed (half-open: both directions held, nothing arrives and nothing is
// refused, for up to 40 s); some connections are closed as soon as they are accepted. Each fault is a line
// of `faults`, with its time. Each field that reached the client, whole, is a line of `deliveries`:
// "CONNECTION<TAB>FIELD". A reset first holds both directions for a second, so that the client has read
// what reached it; a stall and a black hole lose nothing. Calm (after calm()) it passes bytes on at once.
// Single-threaded: everything runs on the io_context given.
class FaultProxy
{
public:
    FaultProxy(asio::io_context& io, const FaultSettings& settings, std::ostream& faults,
               std::ostream& deliveries);
    ~FaultProxy();
    FaultProxy(const FaultProxy&) = delete;
    FaultProxy& operator=(const FaultProxy&) = delete;

    unsigned short port() const;
    // No new fault from now on, nor delays; faults under way end as they would.
    void calm();

    class Link;

private:
    void accept();

    struct Shared;
    asio::ip::tcp::acceptor m_acceptor;
    std::shared_ptr<Shared> m_shared;
};

} // namespace kovrel::soak

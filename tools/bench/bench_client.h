// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <asio/ip/tcp.hpp>
#include <asio/ssl/context.hpp>
#include <asio/steady_timer.hpp>

#include "bench_options.h"
#include "client_transport.h"
#include "packet_reader.h"

namespace kovrel::bench {

using Clock = std::chrono::steady_clock;

class BenchClient;

// What the run learns from its clients, called on the client's own thread.
class ClientEvents
{
public:
    virtual ~ClientEvents() = default;
    virtual void connected(BenchClient& client) = 0;
    virtual void loggedIn(BenchClient& client) = 0; // and sees every other client in its roster
    virtual void allReceived(BenchClient& client) = 0;
    virtual void loggedOut(BenchClient& client) = 0;
    virtual void failed(BenchClient& client, std::string_view why) = 0;
};

struct ClientCounts
{
    std::uint64_t sent = 0;
    std::uint64_t deliveries = 0;
    std::uint64_t expected = 0;
    std::uint64_t arrived = 0;   // expected deliveries that arrived intact, each counted once
    std::uint64_t corrupted = 0; // malformed, altered, duplicated or out of order
    Clock::time_point lastDelivery{};
    bool connected = false;
    bool loggedIn = false; // went through the whole log-in sequence
    bool seesEveryone = false;
    bool failed = false;
};

// One simulated user: logs in as the client does, sends its numbered messages, checks every chat message
// it receives and measures how long each took.
class BenchClient
{
public:
    // Speaks TLS when `tls` is given; it must outlive the client.
    BenchClient(asio::io_context& io, asio::ssl::context* tls, const BenchOptions& options, int index,
                Clock::time_point epoch, ClientEvents& events);

    // Connects (with TLS, the handshake included), then logs in at once; with --storm, waits for login()
    // instead.
    void connect(const asio::ip::tcp::resolver::results_type& endpoints);
    void login();
    void startSending(Clock::time_point start);
    void logout();

    const std::string& nick() const { return m_nick; }
    asio::any_io_executor executor() { return m_transport.socket().get_executor(); }
    // Deliveries and users learned of so far; readable from any thread while the run goes on.
    std::uint64_t progressSoFar() const { return m_progressSoFar.load(std::memory_order_relaxed); }
    // The rest only once the client's thread has stopped.
    const ClientCounts& counts() const { return m_counts; }
    // Microseconds from send to arrival, one entry per delivery.
    const std::vector<std::uint32_t>& latencies() const { return m_latencies; }

private:
    enum class Stage
    {
        Connecting,
        Connected,
        CheckingAddress,
        CheckingNick,
        Joining,
        Online,
        LoggingOut,
        Closed
    };

    void doHandshake(ClientTransport::TlsStream& tls);
    // The connection is ready for the log-in.
    void established();
    void doRead();
    void doWrite();
    void doPace();
    void send(std::initializer_list<std::string_view> fields);
    void sendMessage();
    // `arrival`: when the read that brought the field completed.
    void handle(std::string_view field, Clock::time_point arrival);
    void answerExists(std::string_view answer);
    void noteUser(std::string_view nick);
    void received(std::string_view command, std::string_view values, Clock::time_point arrival);
    void fail(std::string_view why);
    void noteProgress() { m_progressSoFar.store(progressSoFar() + 1, std::memory_order_relaxed); }

    // A chat message as received: who sent it, its number and send time, and whether it is intact.
    struct Delivery
    {
        bool valid = false;
        int sender = -1;
        int seq = -1;
        std::int64_t sentAt = 0;
    };
    Delivery parse(std::string_view command, std::string_view values) const;

    // Private messages go to the other clients in turn.
    int recipient(int sender, int seq) const;

    ClientTransport m_transport;
    asio::steady_timer m_pacer;
    const BenchOptions& m_options;
    const int m_index;
    const std::string m_nick;
    const Clock::time_point m_epoch;
    ClientEvents& m_events;
    Stage m_stage = Stage::Connecting;

    PacketReader m_reader;
    std::array<char, 64 * 1024> m_readBuffer;
    std::string m_outbox;
    std::string m_writing;
    std::string m_lastStyle;

    std::vector<bool> m_knownUsers;
    int m_knownCount = 0;
    int m_nextSeq = 0;
    int m_echoed = 0;
    Clock::time_point m_sendStart{};
    std::vector<std::int32_t> m_lastSeqFrom;
    std::vector<bool> m_seen; // [sender * messages + seq]
    ClientCounts m_counts;
    std::atomic<std::uint64_t> m_progressSoFar = 0;
    std::vector<std::uint32_t> m_latencies;
};

} // namespace kovrel::bench

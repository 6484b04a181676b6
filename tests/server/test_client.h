// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <deque>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/ssl/context.hpp>
#include <asio/ssl/stream.hpp>

#include "packet_reader.h"

namespace kovrel::server::test {

// A blocking client on 127.0.0.1 that speaks through BuildPacket and PacketReader, in plain TCP or in TLS.
// Like the real client it
// sends the server's probes back as soon as it reads them, unless told to stay silent. Waits are bounded by a
// generous deadline that only turns a hang into a failure.
class TestClient
{
public:
    static constexpr std::chrono::seconds kDeadline{20};

    // `receiveBuffer` > 0 shrinks the socket's receive buffer (a client that reads slowly); `from` is the
    // loopback address to connect from (127.0.0.1 unless given), for a client on another machine.
    explicit TestClient(unsigned short port, int receiveBuffer = 0,
                        asio::ip::address_v4 from = asio::ip::address_v4::loopback());

    // Speaks TLS, taking any certificate; throws std::system_error when the handshake fails.
    struct Tls
    {};
    TestClient(unsigned short port, Tls, int receiveBuffer = 0,
               asio::ip::address_v4 from = asio::ip::address_v4::loopback());

    void send(std::initializer_list<std::string_view> fields);
    void sendRaw(std::string_view bytes);

    // Reads until a field starting with `prefix` arrives and returns it; the fields before it are dropped.
    // Returns "" (and fails the test) if the connection closes or the deadline passes first.
    std::string expect(std::string_view prefix);
    // The fields before the first one starting with `prefix`, that one included.
    std::vector<std::string> readUntil(std::string_view prefix);

    // Reads until the server closes the connection; returns the fields read, or fails on the deadline.
    std::vector<std::string> readUntilClosed();
    bool closed() const { return m_closed; }
    // How the connection ended, once closed: asio::error::eof when the server closed it in order (over TLS,
    // with the closing alert), asio::ssl::error::stream_truncated for TLS cut without it.
    const std::error_code& ending() const { return m_ending; }

    // Reads whatever arrives for a while (answering probes), keeping the fields for later.
    void pump(std::chrono::milliseconds duration);

    // The log-in of the real client: admission check, user list, "AddUser", personal card. Returns what
    // arrived between the user list request and the own "AddUser": the roster the client starts with.
    std::vector<std::string> login(std::string_view nick, std::string_view card = {});
    // The log-out of the real client: "DelUser", then waiting for the server's "DelUser".
    void logout(std::string_view nick);

    void answerProbes(bool answer) { m_answerProbes = answer; }
    // TCP segments with data that this connection has received so far: what the server's writes became.
    unsigned dataSegmentsReceived();
    void close();

private:
    // One read into the queue of fields; false when the connection is closed or the deadline has passed.
    // Probes are answered here, as they arrive.
    bool readSome(std::chrono::steady_clock::time_point deadline);
    bool nextField(std::string& field, std::chrono::steady_clock::time_point deadline);
    // Reads what has arrived without waiting for more: asio::error::would_block when nothing has (TLS
    // records without fields, session tickets for one, may have been all there was).
    std::size_t readArrived(asio::mutable_buffer buffer, std::error_code& ec);

    asio::io_context m_io;
    asio::ip::tcp::socket m_socket;
    std::optional<asio::ssl::context> m_tlsContext;
    std::optional<asio::ssl::stream<asio::ip::tcp::socket&>> m_tls;
    PacketReader m_reader;
    std::deque<std::string> m_fields;
    bool m_closed = false;
    std::error_code m_ending;
    bool m_answerProbes = true;
};

// Whether the fields hold `field`.
bool contains(const std::vector<std::string>& fields, const std::string& field);

// The field a chat message arrives in, with the style field that must come right before it.
std::vector<std::string> chatLine(TestClient& client, std::string_view command);

// The first answer to "AddUser" that tells: the own "AddUser" or "Disconnect".
std::string firstAnswerTo(TestClient& client, std::string_view nick);
// Sends "AddUser" and returns the first answer that tells.
std::string tryLogin(TestClient& client, std::string_view nick);

// News travels between the threads of a server, and between the nodes of a cluster, asynchronously: asks
// `question` until the answer (the first field of the question's command) is `expected`. False if it never
// is.
bool eventuallyAnswers(TestClient& asker, const std::string& question, const std::string& expected);
// Asks "ExistUser" until the client's connection knows of the nick.
bool knownTo(TestClient& asker, std::string_view nick);

} // namespace kovrel::server::test

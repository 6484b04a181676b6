// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <asio/steady_timer.hpp>

#include "command_handler.h"
#include "idle_watch.h"
#include "outbox.h"
#include "packet_reader.h"
#include "participant.h"
#include "server_settings.h"
#include "transport.h"
#include "turn_writes.h"

namespace kovrel::server {

// One client connection, plain or TLS (after its handshake): reads whole fields and hands them to the command
// handling, writes what is queued for it at the end of the turn that queued it (gathered into one write, one
// write in flight), probes it when it is idle and closes it when it is silent, out of step, not reading or
// not logged in in time. While a password is checked it handles nothing further and reads no more.
class Session : public Participant
{
public:
    using ClosedHandler = std::function<void(Session&)>;

    // `address` is the peer's address as "GetIPUser" reports it, `peer` its address and port for the log.
    // `accounts`: the server's reserved nicks; none when it keeps no accounts.
    Session(Transport transport, std::string address, std::string peer, Room& room,
            const Blacklist& blacklist, const SessionSettings& settings, EventLog& log, TurnWrites& writes,
            ClosedHandler onClosed, Accounts* accounts = nullptr);

    void start();

    void deliver(const SharedBytes& bytes) override;
    // Writes what was queued, unless a write is already under way; TurnWrites calls it.
    void flush();
    // A TLS session that waited for the end of the period in which it wrote last writes again.
    void periodEnded();
    const std::string& address() const override { return m_address; }
    bool encrypted() const override { return m_encrypted; }

    // Asks the client to log out ("Disconnect"); it sends "DelUser" and closes the connection itself.
    void requestLogout();

    // Closes the connection now; a user still logged in leaves the room. A TLS client is sent the closing
    // alert first, so that it sees a deliberate close; a client that does not take it within a bound is cut.
    void close(std::string_view reason);

private:
    void doHandshake(Transport::TlsStream& tls);
    void doRead();
    void doProbe();
    void doLoginDeadline();
    // Starts or stops the log-in deadline when the user has logged in or out.
    void followLogin();
    // Hands the fields to the command handling; false when the connection is being closed.
    bool received(std::string_view bytes);
    // Hands `fields` from `first` on to the command handling, until a password is being checked: the rest
    // is held until it has been answered.
    void handleFields(std::vector<std::string> fields, std::size_t first);
    // Reads the next bytes, unless a password is being checked: the client's next messages then stay
    // unread until it has been answered.
    void readNext();
    // The password has been answered: what was held is handled, and reading goes on.
    void passwordAnswered();
    void writeAtEndOfTurn();
    void writeAtOnce();
    void waitUntilWritable();
    void writeEncrypted(Transport::TlsStream& tls);
    // A write, or the wait for the socket to take one, is over.
    void writeEnded(const std::error_code& ec);
    // Closes a connection that is gone, broken or not reading at once, without TLS's closing alert.
    void drop(std::string_view reason);
    void end(std::string_view reason, bool closeNotify);
    // Starts TLS's closing alert behind the write in flight, if there is one, with a bound on both.
    void closeAfterNotify();
    void sendCloseNotify();

    Transport m_transport;
    asio::steady_timer m_probeTimer;
    asio::steady_timer m_loginTimer;
    asio::steady_timer m_closeTimer; // the bound on TLS's closing alert
    const SessionSettings m_settings;
    EventLog& m_log;
    TurnWrites& m_turnWrites;
    std::string m_address;
    std::string m_peer;
    const bool m_encrypted;
    CommandHandler m_handler;
    IdleWatch m_idle;
    PacketReader m_reader;
    std::array<char, 16 * 1024> m_readBuffer;
    // The fields of the last read that came after an "Auth" still being checked, from m_heldFrom on.
    std::vector<std::string> m_held;
    std::size_t m_heldFrom = 0;
    bool m_readPaused = false; // no read under way, for a password being checked

    Outbox m_outbox;
    std::int64_t m_lastEncryptedPeriod = -1;
    bool m_writing = false;           // a write (or the TLS handshake) is in flight
    bool m_waitingForTurnEnd = false; // listed in TurnWrites
    bool m_overflowed = false;
    bool m_closed = false;
    bool m_closeNotifyDue = false; // once the write in flight is over
    bool m_loggedIn = false;
    unsigned m_probes = 0;
    ClosedHandler m_onClosed;
};

} // namespace kovrel::server

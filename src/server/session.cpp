// SPDX-License-Identifier: GPL-3.0-or-later
#include "session.h"

#include <chrono>
#include <utility>

#include <asio/post.hpp>
#include <asio/ssl/error.hpp>
#include <asio/write.hpp>

#include "commands.h"
#include "message.h"
#include "message_text.h"

namespace kovrel::server {
namespace {

// How long a TLS connection that is closed on purpose gets to take its closing alert (after the write in
// flight, if any): a client that does not read cannot hold the connection open beyond it.
constexpr std::chrono::seconds kCloseNotifyPatience{1};

std::string closeReason(const std::error_code& ec)
{
    // A TLS client may close without the closing alert: the connection is just as over.
    const bool closed = ec == asio::error::eof || ec == asio::ssl::error::stream_truncated;
    return closed ? "closed by the client" : ec.message();
}

// The first bytes of a TLS client: a handshake record (type 22) of version 3.x.
bool looksLikeTls(std::string_view bytes)
{
    return bytes.size() >= 2 && bytes[0] == '\x16' && bytes[1] == '\x03';
}

} // namespace

Session::Session(Transport transport, std::string address, std::string peer, Room& room,
                 const Blacklist& blacklist, const SessionSettings& settings, EventLog& log,
                 TurnWrites& writes, ClosedHandler onClosed, Accounts* accounts)
    : m_transport(std::move(transport)), m_probeTimer(m_transport.socket().get_executor()),
      m_loginTimer(m_transport.socket().get_executor()), m_closeTimer(m_transport.socket().get_executor()),
      m_settings(settings), m_log(log), m_turnWrites(writes), m_address(std::move(address)),
      m_peer(std::move(peer)), m_encrypted(m_transport.tls() != nullptr),
      m_handler(room, *this, blacklist,
                {RateLimiter(settings.chatRate, settings.chatBurst),
                 RateLimiter(settings.chatBytes, settings.chatBurstBytes)},
                log, m_peer, {accounts, m_transport.socket().get_executor(), [this] { passwordAnswered(); }}),
      m_idle(settings.probeInterval, IdleWatch::Clock::now()), m_onClosed(std::move(onClosed))
{}

void Session::start()
{
    std::error_code ignored;
    // Chat lines are small and should leave at once.
    m_transport.socket().set_option(asio::ip::tcp::no_delay(true), ignored);
    if (Transport::TlsStream* tls = m_transport.tls()) {
        doHandshake(*tls);
    } else {
        // Writes that the socket cannot take at once report it instead of waiting (see flush()).
        m_transport.socket().non_blocking(true, ignored);
        doRead();
    }
    // A handshake that fails to finish is a connection that has not logged in.
    doProbe();
    doLoginDeadline();
}

void Session::doHandshake(Transport::TlsStream& tls)
{
    // Nothing may be written before the handshake is over: it counts as a write in flight.
    m_writing = true;
    tls.async_handshake(asio::ssl::stream_base::server,
                        [this, self = shared_from_this()](std::error_code ec) {
                            if (!m_closed) {
                                if (ec) {
                                    drop("TLS handshake failed: " + ec.message());
                                } else {
                                    doRead();
                                }
                            }
                            // What was queued meanwhile (a request to log out, a probe) leaves now.
                            writeEnded(ec);
                        });
}

void Session::deliver(const SharedBytes& bytes)
{
    if (m_closed || m_overflowed) {
        return;
    }
    m_outbox.add(bytes);
    if (m_outbox.size() > m_settings.maxQueuedBytes) {
        m_overflowed = true;
        // Not now: closing leaves the room, which may be walking its members to deliver this very message.
        asio::post(m_transport.socket().get_executor(),
                   [this, self = shared_from_this()] { drop("not reading: too much unsent output"); });
        return;
    }
    if (!m_writing) {
        writeAtEndOfTurn();
    }
}

void Session::writeAtEndOfTurn()
{
    if (!m_waitingForTurnEnd) {
        m_waitingForTurnEnd = true;
        m_turnWrites.add(std::static_pointer_cast<Session>(shared_from_this()));
    }
}

void Session::flush()
{
    m_waitingForTurnEnd = false;
    if (m_writing || m_closed || m_outbox.empty()) {
        return;
    }
    if (Transport::TlsStream* tls = m_transport.tls()) {
        writeEncrypted(*tls);
    } else {
        writeAtOnce();
    }
}

void Session::writeAtOnce()
{
    // The socket usually takes it all at once; only what it cannot take waits for it to drain.
    while (!m_outbox.empty()) {
        std::error_code ec;
        const std::size_t length = m_transport.socket().write_some(m_outbox.nextWrite(), ec);
        if (ec == asio::error::would_block) {
            waitUntilWritable();
            return;
        }
        if (ec) {
            drop(closeReason(ec));
            return;
        }
        m_outbox.written(length);
    }
}

void Session::waitUntilWritable()
{
    m_writing = true;
    m_transport.socket().async_wait(
        asio::socket_base::wait_write,
        [this, self = shared_from_this()](std::error_code ec) { writeEnded(ec); });
}

void Session::writeEncrypted(Transport::TlsStream& tls)
{
    // A TLS record costs far more than the bytes in it: one a period, with whatever the period gathered.
    const std::int64_t period = TurnWrites::periodAt(std::chrono::steady_clock::now());
    if (period == m_lastEncryptedPeriod) {
        m_writing = true; // what comes meanwhile joins the outbox, and a close waits for the period's end
        m_turnWrites.addAtPeriodEnd(std::static_pointer_cast<Session>(shared_from_this()));
        return;
    }
    m_lastEncryptedPeriod = period;
    // TLS may have to read in order to write, so a non-blocking write cannot be relied on to take what it
    // can: the turn's output leaves in one asynchronous write instead, one at a time.
    m_writing = true;
    asio::async_write(tls, m_outbox.nextWrite(),
                      [this, self = shared_from_this()](std::error_code ec, std::size_t length) {
                          m_outbox.written(length);
                          writeEnded(ec);
                      });
}

void Session::periodEnded()
{
    writeEnded(std::error_code());
}

void Session::writeEnded(const std::error_code& ec)
{
    m_writing = false;
    if (m_closed) {
        if (std::exchange(m_closeNotifyDue, false)) {
            sendCloseNotify();
        }
        return;
    }
    if (ec) {
        drop(closeReason(ec));
    } else if (!m_outbox.empty()) {
        // What piled up meanwhile leaves with what the rest of this turn adds to it.
        writeAtEndOfTurn();
    }
}

void Session::requestLogout()
{
    deliver(encodeShared({BuildMessage(command::Disconnect)}));
}

void Session::doRead()
{
    m_transport.asyncReadSome(asio::buffer(m_readBuffer),
                              [this, self = shared_from_this()](std::error_code ec, std::size_t length) {
                                  if (!ec && !m_closed) {
                                      if (received({m_readBuffer.data(), length})) {
                                          readNext();
                                      }
                                  } else {
                                      drop(closeReason(ec));
                                  }
                              });
}

bool Session::received(std::string_view bytes)
{
    const auto now = IdleWatch::Clock::now();
    m_idle.heard(now);
    if (m_reader.feed(bytes).outOfStep) {
        close(looksLikeTls(bytes) ? "length prefix is not five digits: a TLS handshake on a plain port"
                                  : "length prefix is not five digits");
        return false;
    }
    handleFields(m_reader.takeFields(m_reader.queuedFields()), 0);
    return !m_overflowed; // being cut off: no point reading on
}

void Session::handleFields(std::vector<std::string> fields, std::size_t first)
{
    const auto now = IdleWatch::Clock::now();
    for (std::size_t i = first; i < fields.size() && !m_overflowed; ++i) {
        if (m_handler.checkingPassword()) {
            m_held = std::move(fields);
            m_heldFrom = i;
            break;
        }
        m_handler.handle(fields[i], now);
    }
    followLogin();
}

void Session::readNext()
{
    m_readPaused = m_handler.checkingPassword();
    if (!m_readPaused) {
        doRead();
    }
}

void Session::passwordAnswered()
{
    handleFields(std::exchange(m_held, {}), std::exchange(m_heldFrom, 0));
    if (m_readPaused && !m_closed && !m_overflowed) {
        readNext();
    }
}

void Session::doProbe()
{
    m_probeTimer.expires_after(m_idle.probeInterval());
    m_probeTimer.async_wait([this, self = shared_from_this()](std::error_code ec) {
        if (!ec && !m_closed) {
            switch (m_idle.tick(IdleWatch::Clock::now())) {
            case IdleWatch::Action::Close:
                close("silent for three probe periods");
                return;
            case IdleWatch::Action::Probe:
                deliver(encodeShared({BuildMessage(command::TestConnection, {std::to_string(++m_probes)})}));
                break;
            case IdleWatch::Action::None:
                break;
            }
            doProbe();
        }
    });
}

void Session::doLoginDeadline()
{
    m_loginTimer.expires_after(m_settings.loginTimeout);
    m_loginTimer.async_wait([this, self = shared_from_this()](std::error_code ec) {
        if (!ec && !m_closed && !m_handler.loggedIn()) {
            close("not logged in within " + std::to_string(m_settings.loginTimeout.count()) + " s");
        }
    });
}

void Session::followLogin()
{
    if (m_handler.loggedIn() == m_loggedIn || m_closed) {
        return;
    }
    m_loggedIn = m_handler.loggedIn();
    if (m_loggedIn) {
        m_loginTimer.cancel();
    } else {
        doLoginDeadline();
    }
}

void Session::close(std::string_view reason)
{
    end(reason, true);
}

void Session::drop(std::string_view reason)
{
    end(reason, false);
}

void Session::end(std::string_view reason, bool closeNotify)
{
    if (m_closed) {
        return;
    }
    m_closed = true;
    const auto self = shared_from_this(); // m_onClosed drops the server's reference

    m_log.write("close", m_peer, m_handler.nick(), reason);
    m_handler.connectionClosed();
    m_probeTimer.cancel();
    m_loginTimer.cancel();
    if (closeNotify && m_transport.canCloseNotify()) {
        closeAfterNotify();
    } else {
        m_transport.close();
    }
    if (m_onClosed) {
        m_onClosed(*this);
    }
}

void Session::closeAfterNotify()
{
    m_closeTimer.expires_after(kCloseNotifyPatience);
    m_closeTimer.async_wait([this, self = shared_from_this()](std::error_code ec) {
        if (!ec) {
            m_transport.close();
        }
    });
    // TLS writes one thing at a time.
    if (m_writing) {
        m_closeNotifyDue = true;
    } else {
        sendCloseNotify();
    }
}

void Session::sendCloseNotify()
{
    m_transport.asyncCloseNotify([this, self = shared_from_this()](std::error_code) {
        m_closeTimer.cancel();
        m_transport.close();
    });
}

} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
#include "fault_proxy.h"

#include "packet_reader.h"

#include <asio/connect.hpp>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>

#include <array>
#include <ctime>
#include <deque>
#include <iomanip>
#include <string>

namespace kovrel::soak {

using asio::ip::tcp;
using Milliseconds = std::chrono::milliseconds;

struct FaultProxy::Shared
{
    asio::io_context& io;
    FaultSettings settings;
    std::ostream& faults;
    std::ostream& deliveries;
    std::mt19937 random;
    int connections = 0;
    bool calm = false;

    template <typename Number> Number between(Number low, Number high)
    {
        if constexpr (std::is_floating_point_v<Number>) {
            return std::uniform_real_distribution<Number>(low, high)(random);
        } else {
            return std::uniform_int_distribution<Number>(low, high)(random);
        }
    }

    // A line of the fault log: "2026-12-09T10:12:33.123Z conn 4 reset".
    void log(int connection, const std::string& what)
    {
        const auto now = std::chrono::system_clock::now();
        const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
        const auto millis = std::chrono::duration_cast<Milliseconds>(now.time_since_epoch()).count() % 1000;
        std::tm utc{};
        gmtime_r(&seconds, &utc);
        faults << std::put_time(&utc, "%FT%T") << '.' << std::setw(3) << std::setfill('0') << millis
               << "Z conn " << connection << ' ' << what << std::endl;
    }
};

// One direction of a link: what was read from `from` waits, cut into pieces, to be written to `to`.
struct Pipe
{
    Pipe(tcp::socket& source, tcp::socket& sink, bool reachesClient)
        : from(source), to(sink), toClient(reachesClient), delay(source.get_executor())
    {}

    // A direction that holds this much unwritten stops reading until it has written some of it.
    static constexpr std::size_t kMaxQueued = 256 * 1024;

    tcp::socket& from;
    tcp::socket& to;
    const bool toClient;
    std::array<char, 4096> buffer{};
    std::deque<std::string> pieces;
    std::size_t queued = 0;
    bool reading = false;
    bool writing = false;
    bool held = false;
    bool ended = false;
    asio::steady_timer delay;
    PacketReader delivered; // the fields written to the client so far
};

class FaultProxy::Link : public std::enable_shared_from_this<Link>
{
public:
    Link(std::shared_ptr<Shared> shared, tcp::socket client, int id)
        : m_shared(std::move(shared)), m_id(id), m_client(std::move(client)),
          m_server(m_client.get_executor()), m_up(m_client, m_server, false),
          m_down(m_server, m_client, true), m_faultTimer(m_client.get_executor()),
          m_faultEnd(m_client.get_executor())
    {}

    void start()
    {
        const tcp::endpoint server(asio::ip::address_v4::loopback(), m_shared->settings.upstreamPort);
        m_server.async_connect(server, [self = shared_from_this()](const asio::error_code& error) {
            if (error) {
                self->m_shared->log(self->m_id, "server refused: " + error.message());
                self->close(false);
                return;
            }
            self->read(self->m_up);
            self->read(self->m_down);
            self->scheduleFault();
        });
    }

private:
    void read(Pipe& pipe)
    {
        if (m_closed || pipe.reading || pipe.held || pipe.ended || pipe.queued > Pipe::kMaxQueued) {
            return;
        }
        pipe.reading = true;
        pipe.from.async_read_some(
            asio::buffer(pipe.buffer),
            [self = shared_from_this(), &pipe](const asio::error_code& error, std::size_t size) {
                pipe.reading = false;
                if (self->m_closed) {
                    return;
                }
                if (error) {
                    pipe.ended = true; // what was read still goes on, then the link ends
                } else {
                    self->cut(pipe, size);
                }
                self->pump(pipe);
                self->read(pipe);
            });
    }

    // Queues a read as up to four pieces, cut at random points.
    void cut(Pipe& pipe, std::size_t size)
    {
        std::string_view rest(pipe.buffer.data(), size);
        for (int cuts = m_shared->between(0, 3); cuts > 0 && rest.size() > 1; --cuts) {
            const std::size_t length = m_shared->between<std::size_t>(1, rest.size() - 1);
            pipe.pieces.emplace_back(rest.substr(0, length));
            rest.remove_prefix(length);
        }
        pipe.pieces.emplace_back(rest);
        pipe.queued += size;
    }

    Milliseconds randomDelay()
    {
        if (m_shared->calm) {
            return Milliseconds(0);
        }
        const double draw = m_shared->between(0.0, 1.0);
        if (draw < 0.6) {
            return Milliseconds(0);
        }
        return Milliseconds(draw < 0.95 ? m_shared->between(1, 20) : m_shared->between(50, 300));
    }

    void pump(Pipe& pipe)
    {
        if (m_closed || pipe.writing || pipe.held) {
            return;
        }
        if (pipe.pieces.empty()) {
            if (pipe.ended) {
                close(false);
            }
            return;
        }
        pipe.writing = true;
        pipe.delay.expires_after(randomDelay());
        pipe.delay.async_wait([self = shared_from_this(), &pipe](const asio::error_code&) {
            if (self->m_closed) {
                return;
            }
            asio::async_write(pipe.to, asio::buffer(pipe.pieces.front()),
                              [self, &pipe](const asio::error_code& error, std::size_t size) {
                                  pipe.writing = false;
                                  if (self->m_closed) {
                                      return;
                                  }
                                  if (error) {
                                      self->close(false);
                                      return;
                                  }
                                  self->written(pipe, size);
                                  self->pump(pipe);
                                  self->read(pipe);
                              });
        });
    }

    void written(Pipe& pipe, std::size_t size)
    {
        if (pipe.toClient) {
            pipe.delivered.feed(pipe.pieces.front());
            for (const std::string& field : pipe.delivered.takeFields(SIZE_MAX)) {
                if (field.starts_with("AllUser|") || field.starts_with("PrivatUser|")) {
                    m_shared->deliveries << m_id << '\t' << field << std::endl;
                }
            }
        }
        pipe.queued -= size;
        pipe.pieces.pop_front();
    }

    void scheduleFault()
    {
        if (m_closed || m_shared->calm) {
            return;
        }
        const double mean = static_cast<double>(m_shared->settings.meanFaultInterval.count()) * 1000.0;
        const auto wait = Milliseconds(
            static_cast<long long>(std::exponential_distribution<double>(1.0 / mean)(m_shared->random)));
        m_faultTimer.expires_after(wait);
        m_faultTimer.async_wait([self = shared_from_this()](const asio::error_code& error) {
            if (!error && !self->m_closed && !self->m_shared->calm) {
                self->injectFault();
            }
        });
    }

    void injectFault()
    {
        switch (m_shared->between(0, 3)) {
        case 0:
            hold({&m_up}, "stall client->server", m_shared->between(1, 8));
            break;
        case 1:
            hold({&m_down}, "stall server->client", m_shared->between(1, 8));
            break;
        case 2:
            hold({&m_up, &m_down}, "black hole", m_shared->between(5, 40));
            break;
        default:
            reset();
        }
    }

    // Holds the directions for `seconds`, then lets them go on where they stopped.
    void hold(std::vector<Pipe*> pipes, const std::string& what, int seconds)
    {
        m_shared->log(m_id, what + " for " + std::to_string(seconds) + " s");
        for (Pipe* pipe : pipes) {
            pipe->held = true;
        }
        m_faultEnd.expires_after(std::chrono::seconds(seconds));
        m_faultEnd.async_wait([self = shared_from_this(), pipes, what](const asio::error_code& error) {
            if (error || self->m_closed) {
                return;
            }
            self->m_shared->log(self->m_id, what + " ends");
            for (Pipe* pipe : pipes) {
                pipe->held = false;
                self->pump(*pipe);
                self->read(*pipe);
            }
            self->scheduleFault();
        });
    }

    // Both directions stop; once the client has had time to read what reached it, both connections are
    // reset.
    void reset()
    {
        m_shared->log(m_id, "reset");
        m_up.held = m_down.held = true;
        m_faultEnd.expires_after(std::chrono::seconds(2));
        m_faultEnd.async_wait([self = shared_from_this()](const asio::error_code& error) {
            if (!error) {
                self->close(true);
            }
        });
    }

    void close(bool reset)
    {
        if (std::exchange(m_closed, true)) {
            return;
        }
        m_faultTimer.cancel();
        m_faultEnd.cancel();
        m_up.delay.cancel();
        m_down.delay.cancel();
        for (tcp::socket* socket : {&m_client, &m_server}) {
            asio::error_code ignored;
            if (reset) {
                socket->set_option(asio::socket_base::linger(true, 0), ignored); // closing sends RST
            }
            socket->close(ignored);
        }
    }

    std::shared_ptr<Shared> m_shared;
    const int m_id;
    tcp::socket m_client;
    tcp::socket m_server;
    Pipe m_up;
    Pipe m_down;
    asio::steady_timer m_faultTimer;
    asio::steady_timer m_faultEnd;
    bool m_closed = false;
};

FaultProxy::FaultProxy(asio::io_context& io, const FaultSettings& settings, std::ostream& faults,
                       std::ostream& deliveries)
    : m_acceptor(io, tcp::endpoint(asio::ip::address_v4::loopback(), 0)),
      m_shared(
          std::make_shared<Shared>(Shared{io, settings, faults, deliveries, std::mt19937(settings.seed)}))
{
    accept();
}

FaultProxy::~FaultProxy() = default;

unsigned short FaultProxy::port() const
{
    return m_acceptor.local_endpoint().port();
}

void FaultProxy::calm()
{
    m_shared->calm = true;
    m_shared->log(0, "calm: no more faults");
}

void FaultProxy::accept()
{
    m_acceptor.async_accept([this](const asio::error_code& error, tcp::socket client) {
        if (error) {
            return; // the acceptor closed
        }
        const int id = ++m_shared->connections;
        if (!m_shared->calm && m_shared->between(0.0, 1.0) < m_shared->settings.acceptCloseShare) {
            m_shared->log(id, "accept-close");
        } else {
            std::make_shared<Link>(m_shared, std::move(client), id)->start();
        }
        accept();
    });
}

} // namespace kovrel::soak

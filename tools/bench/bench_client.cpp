// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench_client.h"

#include <atomic>
#include <charconv>
#include <functional>
#include <unordered_map>

#include <asio/connect.hpp>

#include "commands.h"
#include "field_cipher.h"
#include "message.h"
#include "packet.h"

namespace kovrel::bench {
namespace {

constexpr std::string_view kStyleValues = "204|0|-13|0|0|0|0|Tahoma";

// The client number of a nick of this run, or -1.
int clientNumber(std::string_view nick, const BenchOptions& options)
{
    if (!nick.starts_with(options.nickPrefix)) {
        return -1;
    }
    nick.remove_prefix(options.nickPrefix.size());
    const int clients = options.clients;
    int number = -1;
    const auto [end, ec] = std::from_chars(nick.data(), nick.data() + nick.size(), number);
    return ec == std::errc() && end == nick.data() + nick.size() && number >= 0 && number < clients ? number
                                                                                                    : -1;
}

template <typename Number> bool takeNumber(std::string_view& text, Number& number)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (ec != std::errc()) {
        return false;
    }
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    if (text.starts_with(' ')) {
        text.remove_prefix(1);
    }
    return true;
}

// FNV-1a over everything a message says, so that any altered byte shows.
std::uint64_t checksum(std::string_view sender, std::string_view addressee, int seq, std::int64_t sentAt)
{
    std::uint64_t hash = 14695981039346656037ull;
    const auto mix = [&](std::string_view bytes) {
        for (char c : bytes) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        }
    };
    mix(sender);
    mix("|");
    mix(addressee);
    mix({reinterpret_cast<const char*>(&seq), sizeof seq});
    mix({reinterpret_cast<const char*>(&sentAt), sizeof sentAt});
    return hash;
}

// The text of a bench message: "<seq> <send time in µs> <checksum in hex>". Built without allocating,
// since every received message is rebuilt to check it.
class Payload
{
public:
    Payload(std::string_view sender, std::string_view addressee, int seq, std::int64_t sentAt)
    {
        char* end = m_text.data() + m_text.size();
        char* out = std::to_chars(m_text.data(), end, seq).ptr;
        *out++ = ' ';
        out = std::to_chars(out, end, sentAt).ptr;
        *out++ = ' ';
        m_size = static_cast<std::size_t>(
            std::to_chars(out, end, checksum(sender, addressee, seq, sentAt), 16).ptr - m_text.data());
    }

    std::string_view text() const { return {m_text.data(), m_size}; }

private:
    std::array<char, 64> m_text;
    std::size_t m_size = 0;
};

// Every client of a thread receives the same bytes for one broadcast, so a thread deciphers each distinct
// field once and looks it up for the other clients: the bench then spends less on a delivery than the
// server does, and its figures measure the server. Keyed by the exact bytes, so an altered byte still
// shows. Emptied when full, which costs a few deciphers again: so it holds what one log-in storm brings (two
// fields naming each client, GetUser's and AddUser's), set by the clients before their threads start.
std::atomic<std::size_t> maxCachedFields = 1 << 14;

std::string decodeOncePerThread(std::string_view encoded)
{
    struct Hash
    {
        using is_transparent = void;
        std::size_t operator()(std::string_view bytes) const { return std::hash<std::string_view>()(bytes); }
    };
    thread_local std::unordered_map<std::string, std::string, Hash, std::equal_to<>> decoded;
    if (const auto found = decoded.find(encoded); found != decoded.end()) {
        return found->second;
    }
    if (decoded.size() >= maxCachedFields.load(std::memory_order_relaxed)) {
        decoded.clear();
    }
    return decoded.emplace(encoded, DecodeField(encoded)).first->second;
}

std::string styleField(std::string_view sender, std::string_view addressee)
{
    return addressee.empty()
               ? BuildMessage(command::TextStyle, {command::AllUser, kStyleValues})
               : BuildMessage(command::TextStyle, {command::PrivatUser, sender, addressee, kStyleValues});
}

// Whether `field` is styleField(sender, addressee), compared piece by piece.
bool isStyleField(std::string_view field, std::string_view sender, std::string_view addressee)
{
    const auto take = [&](std::string_view piece) {
        const bool found = field.starts_with(piece);
        field.remove_prefix(found ? piece.size() : 0);
        return found;
    };
    const bool kindMatches = addressee.empty() ? take("TextStyle|AllUser|")
                                               : take("TextStyle|PrivatUser|") && take(sender) && take("|") &&
                                                     take(addressee) && take("|");
    return kindMatches && field == kStyleValues;
}

} // namespace

BenchClient::BenchClient(asio::io_context& io, asio::ssl::context* tls, const BenchOptions& options,
                         int index, Clock::time_point epoch, ClientEvents& events)
    : m_transport(io, tls), m_pacer(io), m_options(options), m_index(index),
      m_nick(options.nickPrefix + std::to_string(index)), m_epoch(epoch), m_events(events),
      m_reader(decodeOncePerThread), m_knownUsers(static_cast<std::size_t>(options.clients)),
      m_lastSeqFrom(static_cast<std::size_t>(options.clients), -1),
      m_seen(static_cast<std::size_t>(options.clients) * static_cast<std::size_t>(options.messages))
{
    const std::size_t stormFields = 4 * static_cast<std::size_t>(options.clients);
    if (maxCachedFields.load() < stormFields) {
        maxCachedFields.store(stormFields);
    }
    for (int sender = 0; sender < options.clients; ++sender) {
        for (int seq = 0; seq < options.messages; ++seq) {
            const bool mine = !options.privateMessages || sender == index || recipient(sender, seq) == index;
            m_counts.expected += mine ? 1 : 0;
        }
    }
    m_latencies.reserve(m_counts.expected);
}

int BenchClient::recipient(int sender, int seq) const
{
    const int clients = m_options.clients;
    return clients == 1 ? sender : (sender + 1 + seq % (clients - 1)) % clients;
}

void BenchClient::connect(const asio::ip::tcp::resolver::results_type& endpoints)
{
    asio::async_connect(m_transport.socket(), endpoints,
                        [this](std::error_code ec, const asio::ip::tcp::endpoint&) {
                            if (ec) {
                                fail("cannot connect: " + ec.message());
                                return;
                            }
                            m_transport.socket().set_option(asio::ip::tcp::no_delay(true), ec);
                            if (ClientTransport::TlsStream* tls = m_transport.tls()) {
                                doHandshake(*tls);
                            } else {
                                established();
                            }
                        });
}

void BenchClient::doHandshake(ClientTransport::TlsStream& tls)
{
    // A client whose handshake fails has not connected: the summary counts it with those refused.
    tls.async_handshake(asio::ssl::stream_base::client, [this](std::error_code ec) {
        if (ec) {
            fail("TLS handshake failed: " + ec.message());
        } else {
            established();
        }
    });
}

void BenchClient::established()
{
    m_stage = Stage::Connected;
    m_counts.connected = true;
    m_events.connected(*this);
    doRead(); // from now on, also to hear the server close the connection
    if (!m_options.storm) {
        login();
    }
}

void BenchClient::login()
{
    if (m_stage != Stage::Connected) {
        return;
    }
    std::error_code ec;
    const std::string address = m_transport.socket().local_endpoint(ec).address().to_string();
    m_stage = Stage::CheckingAddress;
    send({BuildMessage(command::ExistUser, {address})});
}

void BenchClient::startSending(Clock::time_point start)
{
    if (m_stage != Stage::Online) {
        return;
    }
    m_sendStart = start;
    if (m_options.rate > 0) {
        doPace();
        return;
    }
    while (m_nextSeq < m_options.messages && m_nextSeq - m_echoed < m_options.window) {
        sendMessage();
    }
}

void BenchClient::logout()
{
    if (m_stage == Stage::Closed) {
        return;
    }
    m_pacer.cancel();
    m_stage = Stage::LoggingOut;
    send({BuildMessage(command::DelUser, {m_nick})});
}

void BenchClient::doPace()
{
    // Client i sends its k-th message at (i + k * clients) / rate seconds: evenly spread over all clients.
    const double at = (m_index + static_cast<double>(m_nextSeq) * m_options.clients) / m_options.rate;
    m_pacer.expires_at(m_sendStart +
                       std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(at)));
    m_pacer.async_wait([this](std::error_code ec) {
        if (!ec && m_stage == Stage::Online) {
            sendMessage();
            if (m_nextSeq < m_options.messages) {
                doPace();
            }
        }
    });
}

void BenchClient::sendMessage()
{
    const int seq = m_nextSeq++;
    const auto sentAt = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - m_epoch).count();
    ++m_counts.sent;
    if (m_options.privateMessages) {
        const std::string to = m_options.nickPrefix + std::to_string(recipient(m_index, seq));
        send({styleField(m_nick, to),
              BuildMessage(command::PrivatUser, {m_nick, to, Payload(m_nick, to, seq, sentAt).text()})});
    } else {
        send({styleField(m_nick, {}),
              BuildMessage(command::AllUser, {m_nick, Payload(m_nick, {}, seq, sentAt).text()})});
    }
}

void BenchClient::send(std::initializer_list<std::string_view> fields)
{
    for (std::string_view field : fields) {
        AppendFramedField(m_outbox, field);
    }
    if (m_writing.empty()) {
        doWrite();
    }
}

void BenchClient::doWrite()
{
    std::swap(m_writing, m_outbox);
    m_transport.asyncWrite(asio::buffer(m_writing), [this](std::error_code ec, std::size_t) {
        m_writing.clear();
        if (!ec) {
            if (!m_outbox.empty()) {
                doWrite();
            }
        } else if (m_stage != Stage::Closed) {
            fail("write failed: " + ec.message());
        }
    });
}

void BenchClient::doRead()
{
    m_transport.asyncReadSome(asio::buffer(m_readBuffer), [this](std::error_code ec, std::size_t length) {
        if (!ec) {
            if (m_reader.feed({m_readBuffer.data(), length}).outOfStep) {
                fail("the server's stream is out of step");
                return;
            }
            // The fields of one read arrived together: one clock reading serves them all.
            const Clock::time_point arrival = Clock::now();
            for (const std::string& field : m_reader.takeFields(m_reader.queuedFields())) {
                if (m_stage == Stage::Closed) {
                    return;
                }
                handle(field, arrival);
            }
            if (m_stage != Stage::Closed) {
                doRead();
            }
        } else if (m_stage != Stage::Closed) {
            fail("connection lost: " + ec.message());
        }
    });
}

void BenchClient::handle(std::string_view field, Clock::time_point arrival)
{
    const SplitText message = SplitFirst(field);
    const std::string_view command = message.head;
    if (command == command::TextStyle) {
        m_lastStyle.assign(field);
    } else if (command == command::AllUser || command == command::PrivatUser) {
        received(command, message.rest, arrival);
    } else if (command == command::ExistUser) {
        answerExists(message.rest);
    } else if (command == command::GetUser || command == command::AddUser) {
        noteUser(message.rest);
    } else if (command == command::TestConnection) {
        send({field});
    } else if (command == command::Disconnect) {
        fail("the server said Disconnect");
    } else if (command == command::DelUser && m_stage == Stage::LoggingOut && message.rest == m_nick) {
        m_stage = Stage::Closed;
        m_transport.close();
        m_events.loggedOut(*this);
    }
}

void BenchClient::answerExists(std::string_view answer)
{
    if (answer != "-1") {
        fail(m_stage == Stage::CheckingAddress ? "our address is blacklisted" : "nick taken");
    } else if (m_stage == Stage::CheckingAddress) {
        m_stage = Stage::CheckingNick;
        send({BuildMessage(command::ExistUser, {m_nick})});
    } else if (m_stage == Stage::CheckingNick) {
        m_stage = Stage::Joining;
        send({BuildMessage(command::GetUser, {m_nick}), BuildMessage(command::AddUser, {m_nick})});
    }
}

void BenchClient::noteUser(std::string_view nick)
{
    const int number = clientNumber(nick, m_options);
    if (number >= 0 && !m_knownUsers[static_cast<std::size_t>(number)]) {
        m_knownUsers[static_cast<std::size_t>(number)] = true;
        ++m_knownCount;
        noteProgress();
    }
    if (m_stage == Stage::Joining && nick == m_nick) {
        m_stage = Stage::Online;
        m_counts.loggedIn = true;
        std::string card = "N/A";
        for (int i = 1; i < command::kCardFieldCount; ++i) {
            card += "|N/A";
        }
        send({BuildMessage(command::SetInfo, {m_nick, card})});
    }
    if (m_stage == Stage::Online && m_knownCount == m_options.clients && !m_counts.seesEveryone) {
        m_counts.seesEveryone = true;
        m_events.loggedIn(*this);
    }
}

void BenchClient::received(std::string_view command, std::string_view values, Clock::time_point arrival)
{
    // Others may share the server (another run, people chatting): only this run's messages are counted.
    if (!values.starts_with(m_options.nickPrefix)) {
        m_lastStyle.clear();
        return;
    }
    ++m_counts.deliveries;
    noteProgress();
    m_counts.lastDelivery = arrival;
    const Delivery delivery = parse(command, values);
    m_lastStyle.clear();
    if (!delivery.valid) {
        ++m_counts.corrupted;
        return;
    }
    const auto sentAt = m_epoch + std::chrono::microseconds(delivery.sentAt);
    m_latencies.push_back(static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(arrival - sentAt).count()));
    const std::size_t slot =
        static_cast<std::size_t>(delivery.sender) * static_cast<std::size_t>(m_options.messages) +
        static_cast<std::size_t>(delivery.seq);
    std::int32_t& lastSeq = m_lastSeqFrom[static_cast<std::size_t>(delivery.sender)];
    if (m_seen[slot] || delivery.seq < lastSeq) {
        ++m_counts.corrupted; // a duplicate, or overtaken by a later message
    }
    if (!m_seen[slot]) {
        m_seen[slot] = true;
        ++m_counts.arrived;
    }
    lastSeq = std::max(lastSeq, delivery.seq);
    if (delivery.sender == m_index) {
        ++m_echoed;
        if (m_options.rate == 0 && m_nextSeq < m_options.messages) {
            sendMessage();
        }
    }
    if (m_counts.arrived == m_counts.expected) {
        m_events.allReceived(*this);
    }
}

BenchClient::Delivery BenchClient::parse(std::string_view command, std::string_view values) const
{
    Delivery delivery;
    MessageValues parts(values);
    const std::string_view sender = parts.next();
    const bool isPrivate = command == command::PrivatUser;
    const std::string_view addressee = isPrivate ? parts.next() : std::string_view();
    const std::string_view text = parts.rest();
    std::string_view numbers = text;
    if (isPrivate != m_options.privateMessages || !takeNumber(numbers, delivery.seq) ||
        !takeNumber(numbers, delivery.sentAt)) {
        return delivery;
    }
    delivery.sender = clientNumber(sender, m_options);
    if (delivery.sender < 0 || delivery.seq < 0 || delivery.seq >= m_options.messages) {
        return delivery;
    }
    if (isPrivate) {
        const int to = clientNumber(addressee, m_options);
        if (to != recipient(delivery.sender, delivery.seq) || (to != m_index && delivery.sender != m_index)) {
            return delivery;
        }
    }
    // Rebuilding the text checks every byte of it, the checksum over sender, addressee, number and time
    // included; the style must be the one sent with it.
    delivery.valid = text == Payload(sender, addressee, delivery.seq, delivery.sentAt).text() &&
                     isStyleField(m_lastStyle, sender, addressee);
    return delivery;
}

void BenchClient::fail(std::string_view why)
{
    if (m_stage == Stage::Closed) {
        return;
    }
    m_stage = Stage::Closed;
    m_counts.failed = true;
    m_pacer.cancel();
    m_transport.close();
    m_events.failed(*this, why);
}

} // namespace kovrel::bench

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/posix/stream_descriptor.hpp>
#include <asio/steady_timer.hpp>

#include "event_log.h"
#include "redis_address.h"

struct redisAsyncContext;

namespace kovrel::server {

// A reply from Redis, copied out of the library's buffers.
struct RedisReply
{
    enum class Kind
    {
        Missing, // no reply: the connection went away before it came
        Text,    // a bulk string or a status
        Integer,
        Nil,
        Array,
        Error
    };

    Kind kind = Kind::Missing;
    std::string text;
    long long integer = 0;
    std::vector<RedisReply> elements;

    bool ok() const { return kind != Kind::Missing && kind != Kind::Error; }
};

// One connection to Redis through hiredis's non-blocking API, its socket watched by the io_context, so
// that neither a slow nor a dead Redis ever blocks the thread that serves the clients. The host is
// resolved asynchronously too. A lost connection is opened again after a back-off that doubles up to a
// few seconds; every attempt authenticates and selects the database first.
class RedisConnection
{
public:
    using ReplyHandler = std::function<void(const RedisReply&)>;
    // A message published to a channel this connection subscribed to.
    using MessageHandler = std::function<void(std::string_view channel, std::string_view payload)>;
    using StateHandler = std::function<void(bool connected)>;

    // `role` names the connection in the log.
    RedisConnection(asio::io_context& io, RedisAddress address, std::string role, EventLog& log);
    ~RedisConnection();
    RedisConnection(const RedisConnection&) = delete;
    RedisConnection& operator=(const RedisConnection&) = delete;

    // Called with true once the connection is up (database selected), false when it is lost.
    void onStateChange(StateHandler handler) { m_onState = std::move(handler); }
    void onMessage(MessageHandler handler) { m_onMessage = std::move(handler); }

    void start();
    // Closes the connection and stops reconnecting; replies still due come as Kind::Missing.
    void stop();
    // Stops reconnecting and closes the connection once the commands already sent are answered.
    void finish();

    bool connected() const { return m_ready; }

    // Sends a command; false, and the handler never called, when the connection is not up.
    bool command(const std::vector<std::string_view>& arguments, ReplyHandler handler = {});
    // Subscribes to the channels; their messages go to the message handler.
    bool subscribe(const std::vector<std::string_view>& channels);

private:
    static void replied(redisAsyncContext* context, void* reply, void* handler);
    static void published(redisAsyncContext* context, void* reply, void* connection);
    static void connectDone(const redisAsyncContext* context, int status);
    static void disconnected(const redisAsyncContext* context, int status);
    static void addRead(void* connection);
    static void delRead(void* connection);
    static void addWrite(void* connection);
    static void delWrite(void* connection);
    static void cleanup(void* connection);

    void resolveAndConnect();
    void connectTo(const asio::ip::tcp::endpoint& endpoint);
    // AUTH when there is a password, then SELECT; the connection is ready after both.
    void authenticate();
    void selectDatabase();
    // Sends whether or not the connection is ready: for the database selection.
    bool send(const std::vector<std::string_view>& arguments, ReplyHandler handler);
    void lost(std::string_view why);
    void scheduleReconnect();
    // Whether the library wants to hear of the socket becoming readable (or writable), and whether a wait
    // for it is under way.
    struct Watch
    {
        bool wanted = false;
        bool armed = false;
    };

    void watchRead();
    void watchWrite();
    void watch(Watch& watch, asio::posix::stream_descriptor::wait_type type,
               void (*handle)(redisAsyncContext*));

    asio::io_context& m_io;
    RedisAddress m_address;
    std::string m_role;
    EventLog& m_log;
    asio::ip::tcp::resolver m_resolver;
    asio::steady_timer m_retry;
    std::chrono::milliseconds m_backoff;
    std::optional<asio::posix::stream_descriptor> m_socket;
    redisAsyncContext* m_context = nullptr;
    Watch m_read;
    Watch m_write;
    bool m_ready = false;
    bool m_stopped = false;
    StateHandler m_onState;
    MessageHandler m_onMessage;
    // Bumped when a context goes away, so that waits armed for it are ignored.
    std::uint64_t m_generation = 0;
};

} // namespace kovrel::server

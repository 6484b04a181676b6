// SPDX-License-Identifier: GPL-3.0-or-later
#include "redis_connection.h"

#include <algorithm>

#include <asio/ip/address.hpp>
#include <hiredis/async.h>
#include <hiredis/hiredis.h>

namespace kovrel::server {
namespace {

constexpr std::chrono::milliseconds kFirstBackoff{100};
constexpr std::chrono::milliseconds kMaxBackoff{5000};

RedisReply copyReply(const redisReply* reply)
{
    RedisReply copy;
    if (reply == nullptr) {
        return copy;
    }
    switch (reply->type) {
    case REDIS_REPLY_STRING:
    case REDIS_REPLY_STATUS:
        copy.kind = RedisReply::Kind::Text;
        copy.text.assign(reply->str, reply->len);
        break;
    case REDIS_REPLY_ERROR:
        copy.kind = RedisReply::Kind::Error;
        copy.text.assign(reply->str, reply->len);
        break;
    case REDIS_REPLY_INTEGER:
        copy.kind = RedisReply::Kind::Integer;
        copy.integer = reply->integer;
        break;
    case REDIS_REPLY_ARRAY:
        copy.kind = RedisReply::Kind::Array;
        for (std::size_t i = 0; i < reply->elements; ++i) {
            copy.elements.push_back(copyReply(reply->element[i]));
        }
        break;
    default:
        copy.kind = RedisReply::Kind::Nil;
    }
    return copy;
}

RedisConnection* owner(const redisAsyncContext* context)
{
    return static_cast<RedisConnection*>(context->data);
}

std::string_view textOf(const redisReply* reply)
{
    return reply->type == REDIS_REPLY_STRING ? std::string_view(reply->str, reply->len) : std::string_view();
}

} // namespace

RedisConnection::RedisConnection(asio::io_context& io, RedisAddress address, std::string role, EventLog& log)
    : m_io(io), m_address(std::move(address)), m_role(std::move(role)), m_log(log), m_resolver(io),
      m_retry(io), m_backoff(kFirstBackoff)
{}

RedisConnection::~RedisConnection()
{
    stop();
}

void RedisConnection::start()
{
    m_stopped = false;
    resolveAndConnect();
}

void RedisConnection::stop()
{
    m_stopped = true;
    m_ready = false;
    m_retry.cancel();
    m_resolver.cancel();
    if (m_context != nullptr) {
        // Runs the callbacks still due with no reply.
        redisAsyncFree(std::exchange(m_context, nullptr));
    }
}

void RedisConnection::finish()
{
    m_stopped = true;
    m_ready = false;
    m_retry.cancel();
    m_resolver.cancel();
    if (m_context != nullptr) {
        redisAsyncDisconnect(m_context);
    }
}

void RedisConnection::resolveAndConnect()
{
    m_resolver.async_resolve(
        m_address.host, std::to_string(m_address.port),
        [this](std::error_code ec, const asio::ip::tcp::resolver::results_type& results) {
            if (m_stopped || ec == asio::error::operation_aborted) {
                return;
            }
            if (ec || results.empty()) {
                lost("cannot resolve " + m_address.host + ": " + ec.message());
                return;
            }
            connectTo(results.begin()->endpoint());
        });
}

void RedisConnection::connectTo(const asio::ip::tcp::endpoint& endpoint)
{
    redisAsyncContext* context = redisAsyncConnect(endpoint.address().to_string().c_str(), endpoint.port());
    if (context == nullptr || context->err != 0) {
        const std::string why = context ? context->errstr : "out of memory";
        if (context != nullptr) {
            redisAsyncFree(context);
        }
        lost(why);
        return;
    }
    m_context = context;
    context->data = this;
    context->ev.data = this;
    context->ev.addRead = &RedisConnection::addRead;
    context->ev.delRead = &RedisConnection::delRead;
    context->ev.addWrite = &RedisConnection::addWrite;
    context->ev.delWrite = &RedisConnection::delWrite;
    context->ev.cleanup = &RedisConnection::cleanup;
    m_socket.emplace(m_io, context->c.fd);
    redisAsyncSetConnectCallback(context, &RedisConnection::connectDone);
    redisAsyncSetDisconnectCallback(context, &RedisConnection::disconnected);
    // The connection completes when the socket becomes writable.
    addWrite(this);
}

void RedisConnection::connectDone(const redisAsyncContext* context, int status)
{
    RedisConnection* self = owner(context);
    if (status != REDIS_OK) {
        // The library frees the context after this call.
        self->m_context = nullptr;
        self->lost(context->errstr);
        return;
    }
    self->authenticate();
}

void RedisConnection::disconnected(const redisAsyncContext* context, int status)
{
    RedisConnection* self = owner(context);
    self->m_context = nullptr;
    self->lost(status == REDIS_OK ? "closed" : context->errstr);
}

void RedisConnection::authenticate()
{
    if (m_address.password.empty()) {
        selectDatabase();
        return;
    }
    send(m_address.authCommand(), [this](const RedisReply& reply) {
        if (reply.ok()) {
            selectDatabase();
        } else if (reply.kind == RedisReply::Kind::Error) {
            m_log.write("redis", m_role, {}, "AUTH refused: " + reply.text);
        }
    });
}

void RedisConnection::selectDatabase()
{
    const std::string database = std::to_string(m_address.database);
    send({"SELECT", database}, [this](const RedisReply& reply) {
        if (!reply.ok()) {
            if (reply.kind == RedisReply::Kind::Error) {
                m_log.write("redis", m_role, {}, "SELECT refused: " + reply.text);
            }
            return;
        }
        m_ready = true;
        m_backoff = kFirstBackoff;
        m_log.write("redis", m_role, {}, "connected to " + m_address.text());
        if (m_onState) {
            m_onState(true);
        }
    });
}

void RedisConnection::lost(std::string_view why)
{
    const bool wasReady = std::exchange(m_ready, false);
    if (m_stopped) {
        return;
    }
    m_log.write("redis", m_role, {},
                std::string(wasReady ? "connection lost: " : "cannot connect: ") + std::string(why) +
                    "; trying again in " + std::to_string(m_backoff.count()) + " ms");
    scheduleReconnect();
    if (wasReady && m_onState) {
        m_onState(false);
    }
}

void RedisConnection::scheduleReconnect()
{
    m_retry.expires_after(m_backoff);
    m_backoff = std::min(m_backoff * 2, kMaxBackoff);
    m_retry.async_wait([this](std::error_code ec) {
        if (!ec && !m_stopped) {
            resolveAndConnect();
        }
    });
}

bool RedisConnection::command(const std::vector<std::string_view>& arguments, ReplyHandler handler)
{
    return m_ready && send(arguments, std::move(handler));
}

bool RedisConnection::send(const std::vector<std::string_view>& arguments, ReplyHandler handler)
{
    if (m_context == nullptr) {
        return false;
    }
    std::vector<const char*> pointers;
    std::vector<std::size_t> sizes;
    for (const std::string_view argument : arguments) {
        pointers.push_back(argument.data());
        sizes.push_back(argument.size());
    }
    auto owned = std::make_unique<ReplyHandler>(std::move(handler));
    if (redisAsyncCommandArgv(m_context, &RedisConnection::replied, owned.get(),
                              static_cast<int>(arguments.size()), pointers.data(),
                              sizes.data()) != REDIS_OK) {
        return false;
    }
    owned.release(); // freed by replied(), which the library calls exactly once
    return true;
}

bool RedisConnection::subscribe(const std::vector<std::string_view>& channels)
{
    if (!m_ready) {
        return false;
    }
    std::vector<const char*> pointers{"SUBSCRIBE"};
    std::vector<std::size_t> sizes{9};
    for (const std::string_view channel : channels) {
        pointers.push_back(channel.data());
        sizes.push_back(channel.size());
    }
    return redisAsyncCommandArgv(m_context, &RedisConnection::published, this,
                                 static_cast<int>(pointers.size()), pointers.data(),
                                 sizes.data()) == REDIS_OK;
}

void RedisConnection::replied(redisAsyncContext*, void* reply, void* handler)
{
    const std::unique_ptr<ReplyHandler> owned(static_cast<ReplyHandler*>(handler));
    if (*owned) {
        (*owned)(copyReply(static_cast<const redisReply*>(reply)));
    }
}

void RedisConnection::published(redisAsyncContext*, void* reply, void* connection)
{
    const auto* message = static_cast<const redisReply*>(reply);
    auto* self = static_cast<RedisConnection*>(connection);
    if (message == nullptr || message->type != REDIS_REPLY_ARRAY || message->elements != 3 ||
        textOf(message->element[0]) != "message" || !self->m_onMessage) {
        return; // a confirmation of the subscription, or the end of the connection
    }
    self->m_onMessage(textOf(message->element[1]), textOf(message->element[2]));
}

void RedisConnection::addRead(void* connection)
{
    auto* self = static_cast<RedisConnection*>(connection);
    self->m_read.wanted = true;
    self->watchRead();
}

void RedisConnection::delRead(void* connection)
{
    static_cast<RedisConnection*>(connection)->m_read.wanted = false;
}

void RedisConnection::addWrite(void* connection)
{
    auto* self = static_cast<RedisConnection*>(connection);
    self->m_write.wanted = true;
    self->watchWrite();
}

void RedisConnection::delWrite(void* connection)
{
    static_cast<RedisConnection*>(connection)->m_write.wanted = false;
}

void RedisConnection::cleanup(void* connection)
{
    auto* self = static_cast<RedisConnection*>(connection);
    ++self->m_generation;
    self->m_read = {};
    self->m_write = {};
    if (self->m_socket) {
        // The library closes the socket itself.
        self->m_socket->release();
        self->m_socket.reset();
    }
}

void RedisConnection::watchRead()
{
    watch(m_read, asio::posix::stream_descriptor::wait_read, &redisAsyncHandleRead);
}

void RedisConnection::watchWrite()
{
    watch(m_write, asio::posix::stream_descriptor::wait_write, &redisAsyncHandleWrite);
}

void RedisConnection::watch(Watch& watch, asio::posix::stream_descriptor::wait_type type,
                            void (*handle)(redisAsyncContext*))
{
    if (watch.armed || !watch.wanted || !m_socket) {
        return;
    }
    watch.armed = true;
    m_socket->async_wait(type, [this, &watch, type, handle, generation = m_generation](std::error_code ec) {
        if (generation != m_generation) {
            return;
        }
        watch.armed = false;
        if (ec || m_context == nullptr) {
            return;
        }
        handle(m_context);
        if (generation == m_generation) {
            this->watch(watch, type, handle);
        }
    });
}

} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
#include "chat_connection.h"

#include "tcp_liveness.h"

#include <QHostAddress>
#include <QTimer>

namespace kovrel {

namespace {

// A socket being closed gets this long to deliver its last bytes before it is cut.
constexpr int kLingerMilliseconds = 5000;

QString dottedAddress(const QHostAddress& address)
{
    bool isIpv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIpv4);
    return isIpv4 ? QHostAddress(ipv4).toString() : address.toString();
}

} // namespace

class ChatConnection::SignalScope
{
public:
    explicit SignalScope(ChatConnection& connection) : m_connection(connection)
    {
        ++m_connection.m_signalDepth;
    }
    ~SignalScope()
    {
        if (--m_connection.m_signalDepth == 0) {
            m_connection.releaseRetired();
        }
    }
    SignalScope(const SignalScope&) = delete;
    SignalScope& operator=(const SignalScope&) = delete;

private:
    ChatConnection& m_connection;
};

ChatConnection::ChatConnection(QObject* parent) : QObject(parent) {}

ChatConnection::~ChatConnection()
{
    // Whoever listens may be half destroyed by now: the sockets go without a word.
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
    for (QTcpSocket* socket : m_retired) {
        socket->disconnect(this);
    }
}

void ChatConnection::open(const QString& host, quint16 port)
{
    if (m_socket) {
        close();
    }
    m_reader = PacketReader();
    m_writeFailed = false;
    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::connected, this, &ChatConnection::onConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &ChatConnection::onReadyRead);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &ChatConnection::onSocketError);
    connect(m_socket, &QTcpSocket::disconnected, this, &ChatConnection::onSocketDisconnected);
    emit connecting();
    if (m_socket) {
        m_socket->connectToHost(host, port);
    }
}

void ChatConnection::close()
{
    if (!m_socket) {
        return;
    }
    retire(m_socket);
    emit disconnected();
}

bool ChatConnection::isConnected() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

QString ChatConnection::localAddress() const
{
    return m_socket ? dottedAddress(m_socket->localAddress()) : QString();
}

QString ChatConnection::remoteAddress() const
{
    return m_socket ? dottedAddress(m_socket->peerAddress()) : QString();
}

void ChatConnection::sendBytes(std::string_view bytes)
{
    if (!isConnected()) {
        return;
    }
    if (m_socket->write(bytes.data(), static_cast<qint64>(bytes.size())) < 0) {
        m_writeFailed = true;
        onSocketError(m_socket->error());
    }
}

std::optional<std::string> ChatConnection::takeField()
{
    if (!m_reader.hasFields()) {
        return std::nullopt;
    }
    return std::move(m_reader.takeFields(1).front());
}

void ChatConnection::onConnected()
{
    const SignalScope scope(*this);
    // A server that vanishes without a word (a suspend, a network changed under us) is noticed in a minute.
    ApplyTcpLiveness(m_socket->socketDescriptor());
    emit connected();
}

void ChatConnection::onReadyRead()
{
    const SignalScope scope(*this);
    const QByteArray bytes = m_socket->readAll();
    // A stream that is out of step has lost its framing: the rest of the read is dropped and the reader
    // starts afresh; the fields before it are kept.
    m_reader.feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (m_reader.hasFields()) {
        emit fieldsReceived();
    }
}

void ChatConnection::onSocketError(QAbstractSocket::SocketError error)
{
    // A peer that closes is a disconnection, reported as such, not an error.
    if (error == QAbstractSocket::RemoteHostClosedError || !m_socket) {
        return;
    }
    const SignalScope scope(*this);
    const bool wasConnected = m_socket->state() == QAbstractSocket::ConnectedState;
    const SocketErrorKind kind = m_writeFailed  ? SocketErrorKind::Send
                                 : wasConnected ? SocketErrorKind::Receive
                                                : SocketErrorKind::Connect;
    emit errorOccurred(kind, WsaErrorCode(error));
    close();
}

void ChatConnection::onSocketDisconnected()
{
    const SignalScope scope(*this);
    if (sender() == m_socket) {
        close();
    }
}

void ChatConnection::retire(QTcpSocket* socket)
{
    m_socket = nullptr;
    socket->disconnect(this);
    m_retired.push_back(socket);
    if (socket->state() == QAbstractSocket::ConnectedState) {
        // Let the last bytes (a farewell, "DelUser") go out; cut the socket if the peer stops reading.
        connect(socket, &QTcpSocket::disconnected, this, &ChatConnection::releaseRetired);
        auto* linger = new QTimer(socket);
        linger->setSingleShot(true);
        connect(linger, &QTimer::timeout, socket, &QTcpSocket::abort);
        linger->start(kLingerMilliseconds);
        socket->disconnectFromHost();
    } else {
        socket->abort();
    }
    releaseRetired();
}

void ChatConnection::releaseRetired()
{
    if (m_signalDepth > 0) {
        return;
    }
    std::erase_if(m_retired, [](QTcpSocket* socket) {
        if (socket->state() != QAbstractSocket::UnconnectedState) {
            return false;
        }
        // Deleted once the event being handled is done, which may be one of this socket's own.
        socket->deleteLater();
        return true;
    });
}

} // namespace kovrel

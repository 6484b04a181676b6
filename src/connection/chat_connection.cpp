// SPDX-License-Identifier: GPL-3.0-or-later
#include "chat_connection.h"

#include "settings_layout.h"
#include "tcp_liveness.h"

#include <QHostAddress>
#include <QSslCipher>
#include <QSslSocket>
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

// Errors of the TLS layer rather than of the socket under it.
bool isTlsLayerError(QAbstractSocket::SocketError error)
{
    return error == QAbstractSocket::SslHandshakeFailedError || error == QAbstractSocket::SslInternalError ||
           error == QAbstractSocket::SslInvalidUserDataError;
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

void ChatConnection::open(const QString& host, quint16 port, Encryption encryption)
{
    if (m_socket) {
        close();
    }
    m_reader = PacketReader();
    m_writeFailed = false;
    m_server = ServerName(host, QString(), port);
    m_refusedCertificate.reset();
    QSslSocket* tls = encryption == Encryption::Tls ? new QSslSocket(this) : nullptr;
    m_socket = tls ? tls : new QTcpSocket(this);
    if (tls) {
        connect(tls, &QSslSocket::encrypted, this, &ChatConnection::onConnected);
        connect(tls, &QSslSocket::sslErrors, this, &ChatConnection::onSslErrors);
    } else {
        connect(m_socket, &QTcpSocket::connected, this, &ChatConnection::onConnected);
    }
    connect(m_socket, &QTcpSocket::readyRead, this, &ChatConnection::onReadyRead);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &ChatConnection::onSocketError);
    connect(m_socket, &QTcpSocket::disconnected, this, &ChatConnection::onSocketDisconnected);
    emit connecting();
    if (!m_socket) {
        return; // a handler of connecting() closed it again
    }
    if (tls) {
        tls->connectToHostEncrypted(host, port);
    } else {
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
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState) {
        return false;
    }
    const auto* tls = qobject_cast<const QSslSocket*>(m_socket.data());
    return !tls || tls->isEncrypted();
}

bool ChatConnection::isEncrypted() const
{
    const auto* tls = qobject_cast<const QSslSocket*>(m_socket.data());
    return tls && tls->isEncrypted();
}

QString ChatConnection::encryptionDetails() const
{
    if (!isEncrypted()) {
        return {};
    }
    const auto* tls = static_cast<const QSslSocket*>(m_socket.data());
    return QStringLiteral("%1, отпечаток сертификата SHA-256 %2")
        .arg(tls->sessionCipher().protocolString(), CertificateFingerprint(tls->peerCertificate()));
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
    // Every field is a whole message that the server acts on: it goes out at once rather than waiting for
    // the previous one to be acknowledged, which a delayed acknowledgement can hold back 40 to 200 ms.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
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
    if (!m_socket) {
        return;
    }
    const SignalScope scope(*this);
    if (reportTlsFailure(error)) {
        return;
    }
    // A peer that closes is a disconnection, reported as such, not an error.
    if (error == QAbstractSocket::RemoteHostClosedError) {
        return;
    }
    const bool wasConnected = m_socket->state() == QAbstractSocket::ConnectedState;
    const SocketErrorKind kind = m_writeFailed  ? SocketErrorKind::Send
                                 : wasConnected ? SocketErrorKind::Receive
                                                : SocketErrorKind::Connect;
    emit errorOccurred(kind, WsaErrorCode(error));
    close();
}

// Called within the handshake: the errors are ignored, and the handshake goes on, only for the certificate
// the user trusted for this server.
void ChatConnection::onSslErrors(const QList<QSslError>& errors)
{
    auto* tls = qobject_cast<QSslSocket*>(sender());
    if (!tls || tls != m_socket) {
        return;
    }
    const QString presented = CertificateFingerprint(tls->peerCertificate());
    const QString trusted = ReadTrustedFingerprint(m_server);
    if (!presented.isEmpty() && presented == trusted) {
        tls->ignoreSslErrors(errors);
        return;
    }
    m_refusedCertificate = TlsFailure{
        .kind = trusted.isEmpty() ? TlsFailure::Kind::UntrustedCertificate : TlsFailure::Kind::KeyChanged,
        .server = m_server,
        .reason = {},
        .presented = presented,
        .trusted = trusted,
    };
}

// A server that closes during the handshake is a failed handshake: most likely the port is its plain one.
bool ChatConnection::reportTlsFailure(QAbstractSocket::SocketError error)
{
    const auto* tls = qobject_cast<const QSslSocket*>(m_socket.data());
    const bool closedInHandshake =
        error == QAbstractSocket::RemoteHostClosedError && tls && !tls->isEncrypted();
    if (!tls || !(isTlsLayerError(error) || closedInHandshake)) {
        return false;
    }
    const TlsFailure failure = m_refusedCertificate.value_or(TlsFailure{
        .kind = tls->isEncrypted() ? TlsFailure::Kind::Broken : TlsFailure::Kind::Handshake,
        .server = m_server,
        .reason = closedInHandshake
                      ? QStringLiteral("сервер закрыл соединение во время рукопожатия; это его TLS-порт?")
                      : tls->errorString(),
        .presented = {},
        .trusted = {},
    });
    emit tlsFailed(failure);
    close();
    return true;
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

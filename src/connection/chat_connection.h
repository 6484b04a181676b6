// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "packet.h"
#include "packet_reader.h"
#include "server_trust.h"
#include "socket_errors.h"

#include <QObject>
#include <QPointer>
#include <QSslError>
#include <QTcpSocket>

#include <optional>
#include <string>
#include <vector>

namespace kovrel {

// The one TCP connection to the chat server, plain or under TLS. Sends whole packets, turns the received
// byte stream back into whole fields, and reports the socket's life as a few plain events: connecting,
// connected (for TLS: once the handshake is done), disconnected (exactly once for every open(), whether the
// attempt failed, the peer closed or we closed), errors with their Windows Sockets numbers and failures of
// the TLS layer. Every attempt gets a fresh socket, so a closing one never blocks the next.
//
// A certificate that a known authority vouches for is accepted. Any other is accepted only when its
// fingerprint is the one the user trusted for this host and port; otherwise the handshake is refused and
// tlsFailed() says whether the certificate is new or differs from the trusted one.
class ChatConnection : public QObject, public ByteSink
{
    Q_OBJECT

public:
    enum class Encryption
    {
        None,
        Tls,
    };

    explicit ChatConnection(QObject* parent = nullptr);
    ~ChatConnection() override;

    // Connects to a host name (resolved without blocking) or a dotted address.
    void open(const QString& host, quint16 port, Encryption encryption = Encryption::None);
    // Closes the connection; pending output is still delivered. Emits disconnected() when it was open.
    void close();

    bool isOpen() const { return m_socket != nullptr; }
    bool isConnected() const;
    bool isEncrypted() const;
    // For the user: the TLS protocol and the fingerprint of the server's certificate; empty unless
    // encrypted.
    QString encryptionDetails() const;
    QString localAddress() const;
    QString remoteAddress() const;

    // Sends bytes as they stand; without a connection they are dropped, as nobody could receive them.
    void sendBytes(std::string_view bytes) override;
    void sendPacket(std::initializer_list<std::string_view> fields) { SendPacket(*this, fields); }

    // The next whole field received, oldest first. Taken one at a time, so that a handler that waits for
    // an answer (and so reads on, nested) never sees fields out of order.
    std::optional<std::string> takeField();

signals:
    void connecting();
    void connected();
    void disconnected();
    void errorOccurred(kovrel::SocketErrorKind kind, int code);
    void tlsFailed(const kovrel::TlsFailure& failure);
    void fieldsReceived();

private:
    // Counts the socket signals being handled on the stack; sockets are deleted only outside all of them.
    class SignalScope;

    void onConnected();
    void onReadyRead();
    void onSocketError(QAbstractSocket::SocketError error);
    void onSslErrors(const QList<QSslError>& errors);
    bool reportTlsFailure(QAbstractSocket::SocketError error);
    void onSocketDisconnected();
    void retire(QTcpSocket* socket);
    void releaseRetired();

    QPointer<QTcpSocket> m_socket;
    // Closed sockets not yet deleted: a handler of one of their signals may be further up the stack, below a
    // nested event loop, and a socket must not vanish under its own code.
    std::vector<QTcpSocket*> m_retired;
    int m_signalDepth = 0;
    PacketReader m_reader;
    bool m_writeFailed = false;
    // "host:port" of the attempt, the name under which its trusted fingerprint is kept.
    QString m_server;
    // The certificate refused during this attempt's handshake.
    std::optional<TlsFailure> m_refusedCertificate;
};

} // namespace kovrel

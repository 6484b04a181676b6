// SPDX-License-Identifier: GPL-3.0-or-later
#include "scripted_peer.h"

#include "packet.h"

#include <QSslServer>
#include <QTest>

namespace kovrel::test {

namespace {

std::unique_ptr<QTcpServer> tlsServer(const QSslConfiguration& tls)
{
    auto server = std::make_unique<QSslServer>();
    server->setSslConfiguration(tls);
    return server;
}

} // namespace

ScriptedPeer::ScriptedPeer() : ScriptedPeer(std::make_unique<QTcpServer>()) {}

ScriptedPeer::ScriptedPeer(const QSslConfiguration& tls) : ScriptedPeer(tlsServer(tls)) {}

ScriptedPeer::ScriptedPeer(std::unique_ptr<QTcpServer> server)
    : m_server(std::move(server)), m_respond(FriendlyAnswers)
{
    m_server->listen(QHostAddress::LocalHost, 0);
    // A TLS connection is pending only once its handshake is done.
    connect(m_server.get(), &QTcpServer::pendingConnectionAvailable, this, &ScriptedPeer::onConnection);
}

void ScriptedPeer::onConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        ++m_clients;
        m_socket = socket;
        m_reader = PacketReader();
        // As the real server does: answers go out at once.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket, &QTcpSocket::readyRead, this, &ScriptedPeer::onReadyRead);
        // A closed connection is of no further use; deleted, it does not pile up in a long-lived peer.
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void ScriptedPeer::onReadyRead()
{
    const QByteArray read = m_socket->readAll();
    m_bytes.append(read.constData(), static_cast<std::size_t>(read.size()));
    m_reader.feed(std::string_view(read.constData(), static_cast<std::size_t>(read.size())));
    for (std::string& field : m_reader.takeFields(SIZE_MAX)) {
        m_fields.push(field);
        std::string answer;
        for (const std::string& reply : m_respond(field)) {
            AppendFramedField(answer, reply);
        }
        if (!answer.empty()) {
            sendRaw(answer);
        }
    }
}

std::string ScriptedPeer::waitForField(const std::string& prefix, int timeoutMs)
{
    return m_fields.waitFor(prefix, timeoutMs);
}

bool ScriptedPeer::waitForClients(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return m_clients >= count; }, timeoutMs);
}

bool ScriptedPeer::waitForDisconnect(int timeoutMs)
{
    return QTest::qWaitFor(
        [&] { return !m_socket || m_socket->state() == QAbstractSocket::UnconnectedState; }, timeoutMs);
}

void ScriptedPeer::send(std::initializer_list<std::string_view> fields)
{
    sendRaw(BuildPacket(fields));
}

void ScriptedPeer::sendRaw(const std::string& bytes)
{
    if (m_socket) {
        m_socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
    }
}

void ScriptedPeer::drop()
{
    if (m_socket) {
        m_socket->abort();
    }
}

std::vector<std::string> FriendlyAnswers(const std::string& field)
{
    if (field.starts_with("ExistUser|")) {
        return {"ExistUser|-1"};
    }
    if (field.starts_with("DelUser|")) {
        return {field};
    }
    if (field.starts_with("AddUser|")) {
        return {field};
    }
    return {};
}

} // namespace kovrel::test

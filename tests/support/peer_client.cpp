// SPDX-License-Identifier: GPL-3.0-or-later
#include "peer_client.h"

#include "cp1251.h"
#include "packet.h"

namespace kovrel::test {

PeerClient::PeerClient(quint16 port)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, &PeerClient::onReadyRead);
    m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    m_socket.waitForConnected(10000);
}

void PeerClient::onReadyRead()
{
    const QByteArray bytes = m_socket.readAll();
    m_reader.feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    for (const std::string& field : m_reader.takeFields(SIZE_MAX)) {
        if (field.starts_with("TestConnection|")) {
            const std::string answer = BuildPacket({field});
            m_socket.write(answer.data(), static_cast<qint64>(answer.size()));
        }
        m_messages.push(cp1251::toUtf8(field));
    }
}

bool PeerClient::logIn(const std::string& nick)
{
    m_nick = nick;
    send({"ExistUser|" + nick});
    if (waitFor("ExistUser|") != "ExistUser|-1") {
        return false;
    }
    send({"GetUser|" + nick});
    send({"AddUser|" + nick});
    return waitFor("AddUser|" + nick) == "AddUser|" + nick;
}

void PeerClient::logOut()
{
    send({"DelUser|" + m_nick});
    waitFor("DelUser|" + m_nick);
    m_socket.disconnectFromHost();
}

void PeerClient::send(std::initializer_list<std::string> messages)
{
    std::string packet;
    for (const std::string& message : messages) {
        AppendFramedField(packet, cp1251::fromUtf8(message));
    }
    m_socket.write(packet.data(), static_cast<qint64>(packet.size()));
}

void PeerClient::sayPublic(const std::string& text, const std::string& style)
{
    send({"TextStyle|" + style, "AllUser|" + m_nick + "|" + text});
}

void PeerClient::sayPrivate(const std::string& to, const std::string& text)
{
    send({"TextStyle|PrivatUser|" + m_nick + "|" + to + "|204|0|-13|0|0|0|0|Arial",
          "PrivatUser|" + m_nick + "|" + to + "|" + text});
}

std::string PeerClient::waitFor(const std::string& prefix, int timeoutMs)
{
    return m_messages.waitFor(prefix, timeoutMs);
}

} // namespace kovrel::test

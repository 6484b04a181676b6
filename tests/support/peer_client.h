// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "message_queue.h"
#include "packet_reader.h"

#include <QObject>
#include <QTcpSocket>

#include <string>
#include <vector>

namespace kovrel::test {

// A second user played by the test: a client of the real server that runs in the test's event loop and
// speaks UTF-8 to the test and cp1251 on the wire. It answers the server's probes as a client must.
class PeerClient : public QObject
{
    Q_OBJECT

public:
    explicit PeerClient(quint16 port);

    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }

    // The log-in a real client makes; false when the server did not admit the nick.
    bool logIn(const std::string& nick);
    void logOut();

    // Sends messages given in UTF-8, as one packet.
    void send(std::initializer_list<std::string> messages);
    void sayPublic(const std::string& text, const std::string& style = "AllUser|204|0|-13|0|0|0|0|Arial");
    void sayPrivate(const std::string& to, const std::string& text);

    // Waits until a message starting with `prefix` (UTF-8) arrives; returns it, "" on the deadline.
    std::string waitFor(const std::string& prefix, int timeoutMs = 10000);

    const std::string& nick() const { return m_nick; }

private:
    void onReadyRead();

    QTcpSocket m_socket;
    PacketReader m_reader;
    MessageQueue m_messages;
    std::string m_nick;
};

} // namespace kovrel::test

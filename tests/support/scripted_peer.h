// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "message_queue.h"
#include "packet_reader.h"

#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QSslConfiguration;

namespace kovrel::test {

// A chat server played by the test, on a free port of 127.0.0.1, inside the test's own event loop. It
// records the bytes and fields it receives (after TLS, when it speaks TLS) and answers each field with what
// `respond` returns.
class ScriptedPeer : public QObject
{
    Q_OBJECT

public:
    using Responder = std::function<std::vector<std::string>(const std::string& field)>;

    ScriptedPeer();
    // Speaks TLS with the certificate and key of `tls`.
    explicit ScriptedPeer(const QSslConfiguration& tls);

    quint16 port() const { return m_server->serverPort(); }
    void setResponder(Responder respond) { m_respond = std::move(respond); }

    // Waits, with the event loop running, until a field starting with `prefix` has arrived; returns it
    // ("" on the deadline). Fields are looked for from where the last wait stopped.
    std::string waitForField(const std::string& prefix, int timeoutMs = 10000);
    bool waitForClients(int count, int timeoutMs = 10000);
    bool waitForDisconnect(int timeoutMs = 10000);

    void send(std::initializer_list<std::string_view> fields);
    void sendRaw(const std::string& bytes);
    // Drops the connection, as a failing server would.
    void drop();

    // Drops the record of what was received, so that a long-lived peer does not keep all of it.
    void forgetReceived()
    {
        m_bytes.clear();
        m_fields.clear();
    }

    const std::string& bytes() const { return m_bytes; }
    const std::vector<std::string>& fields() const { return m_fields.all(); }

private:
    void onConnection();
    void onReadyRead();

    explicit ScriptedPeer(std::unique_ptr<QTcpServer> server);

    std::unique_ptr<QTcpServer> m_server;
    QPointer<QTcpSocket> m_socket;
    int m_clients = 0;
    PacketReader m_reader;
    std::string m_bytes;
    MessageQueue m_fields;
    Responder m_respond;
};

// The answers a well-behaved server gives during a log-in: everybody is free, nobody is black-listed.
std::vector<std::string> FriendlyAnswers(const std::string& field);

} // namespace kovrel::test

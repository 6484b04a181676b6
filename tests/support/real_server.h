// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QStringList>

namespace kovrel::test {

// The real kovrel-server on 127.0.0.1, started for one test. Port 0 picks a free port; a given port lets
// a test start the server again where the client expects it. With "--tls-listen" among the arguments it
// also serves TLS, on tlsPort().
class RealServer
{
public:
    explicit RealServer(quint16 port = 0, const QStringList& extraArguments = {});
    ~RealServer();

    bool isRunning() const { return m_process.state() == QProcess::Running; }
    quint16 port() const { return m_port; }
    quint16 tlsPort() const { return m_tlsPort; }

    // SIGTERM: the server tells every client to log out, then exits.
    void terminate();
    // SIGKILL: the server vanishes without a word.
    void kill();
    bool waitForExit(int timeoutMs = 10000);

private:
    QProcess m_process;
    quint16 m_port = 0;
    quint16 m_tlsPort = 0;
};

} // namespace kovrel::test

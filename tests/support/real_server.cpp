// SPDX-License-Identifier: GPL-3.0-or-later
#include "real_server.h"

#include <QRegularExpression>

namespace kovrel::test {

RealServer::RealServer(quint16 port, const QStringList& extraArguments)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(KOVREL_SERVER_BINARY),
                    QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(port)} +
                        extraArguments);
    // The first lines name the ports the server really listens on, one for each listener.
    const auto listeners = 1 + extraArguments.count(QStringLiteral("--tls-listen"));
    const QRegularExpression listening(QStringLiteral("^listening on .*:(\\d+)( \\(TLS\\))?"));
    for (qsizetype seen = 0; seen < listeners;) {
        if (!m_process.canReadLine() && !m_process.waitForReadyRead(10000)) {
            return;
        }
        while (m_process.canReadLine() && seen < listeners) {
            const QRegularExpressionMatch match = listening.match(QString::fromUtf8(m_process.readLine()));
            const auto number = static_cast<quint16>(match.captured(1).toUInt());
            (match.hasCaptured(2) ? m_tlsPort : m_port) = number;
            ++seen;
        }
    }
}

RealServer::~RealServer()
{
    if (isRunning()) {
        kill();
    }
}

void RealServer::terminate()
{
    m_process.terminate();
}

void RealServer::kill()
{
    m_process.kill();
    m_process.waitForFinished(10000);
}

bool RealServer::waitForExit(int timeoutMs)
{
    return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs);
}

} // namespace kovrel::test

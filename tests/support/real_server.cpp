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
    // The first line names the port the server really listens on.
    if (!m_process.waitForReadyRead(10000) || !m_process.canReadLine()) {
        m_process.waitForReadyRead(10000);
    }
    const QString line = QString::fromUtf8(m_process.readLine());
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("listening on .*:(\\d+)")).match(line);
    m_port = match.hasMatch() ? static_cast<quint16>(match.captured(1).toUInt()) : 0;
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

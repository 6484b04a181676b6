// SPDX-License-Identifier: GPL-3.0-or-later
#include "fake_notification_server.h"

#include "private_bus.h"

#include <utility>

#include <QTest>

namespace kovrel::test {

using namespace Qt::Literals::StringLiterals;

void PrintTo(const NotifyCall& call, std::ostream* out)
{
    *out << "{app " << call.appName.toStdString() << ", replaces " << call.replacesId << ", icon "
         << call.appIcon.toStdString() << ", summary " << call.summary.toStdString() << ", body "
         << call.body.toStdString() << ", actions " << call.actions.join(u',').toStdString() << ", hints "
         << call.hints.keys().join(u',').toStdString() << ", timeout " << call.expireTimeout << ", id "
         << call.id << '}';
}

FakeNotificationServer::FakeNotificationServer(const QString& busAddress, QStringList capabilities)
    : m_connectionName(uniqueConnectionName()),
      m_bus(QDBusConnection::connectToBus(busAddress, m_connectionName)),
      m_capabilities(std::move(capabilities))
{
    m_registered =
        m_bus.registerObject(u"/org/freedesktop/Notifications"_s, this,
                             QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) &&
        m_bus.registerService(u"org.freedesktop.Notifications"_s);
}

FakeNotificationServer::~FakeNotificationServer()
{
    QDBusConnection::disconnectFromBus(m_connectionName);
}

bool FakeNotificationServer::waitForCalls(qsizetype count) const
{
    return QTest::qWaitFor([&] { return m_calls.size() >= count; });
}

void FakeNotificationServer::answerHeld()
{
    for (const HeldCall& call : std::as_const(m_held))
        m_bus.send(call.message.createReply(QVariant::fromValue(answerId(call.index))));
    m_held.clear();
    m_answer = Answer::Id;
}

QString FakeNotificationServer::GetServerInformation(QString& vendor, QString& version,
                                                     QString& protocolVersion) const
{
    vendor = u"Kovrel tests"_s;
    version = u"1"_s;
    protocolVersion = u"1.2"_s;
    return u"fake-notification-server"_s;
}

uint FakeNotificationServer::Notify(const QString& appName, uint replacesId, const QString& appIcon,
                                    const QString& summary, const QString& body, const QStringList& actions,
                                    const QVariantMap& hints, int expireTimeout)
{
    m_calls.append({appName, replacesId, appIcon, summary, body, actions, hints, expireTimeout, 0});
    switch (m_answer) {
    case Answer::Error:
        sendErrorReply(QDBusError::Failed, u"The daemon failed"_s);
        return 0;
    case Answer::Nothing:
        setDelayedReply(true);
        m_held.append({message(), m_calls.size() - 1});
        return 0;
    case Answer::Id:
        break;
    }
    return answerId(m_calls.size() - 1);
}

uint FakeNotificationServer::answerId(qsizetype callIndex)
{
    NotifyCall& call = m_calls[callIndex];
    call.id = m_shown.contains(call.replacesId) ? call.replacesId : ++m_lastId;
    m_shown.insert(call.id);
    return call.id;
}

void FakeNotificationServer::close(uint id, uint reason)
{
    m_shown.remove(id);
    emit NotificationClosed(id, reason);
}

} // namespace kovrel::test

// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop_notifications.h"

#include <utility>

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QStringList>
#include <QVariantMap>

namespace kovrel {

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kService = u"org.freedesktop.Notifications"_s;
const QString kPath = u"/org/freedesktop/Notifications"_s;
const QString kInterface = u"org.freedesktop.Notifications"_s;
const QString kAppName = u"Kovrel"_s;
// The application's theme icon; a daemon that finds no such icon shows the bubble without one.
const QString kAppIcon = u"kovrel"_s;
// The action a daemon invokes when the bubble itself is clicked.
const QString kDefaultAction = u"default"_s;
// The daemon chooses how long the bubble stays.
constexpr int kDaemonsExpiry = -1;

QDBusMessage methodCall(const QString& method)
{
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

// Calls `handler` with the finished call once the daemon answers, fails or the bus gives up, unless
// `context` is gone by then.
template <typename Handler> void whenAnswered(const QDBusPendingCall& call, QObject* context, Handler handler)
{
    auto* watcher = new QDBusPendingCallWatcher(call, context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [watcher, handler = std::move(handler)] {
                         watcher->deleteLater();
                         handler(*watcher);
                     });
}

// The characters that start markup in a body the daemon reads as markup.
QString markupEscaped(QString text)
{
    return text.replace(u'&', u"&amp;"_s).replace(u'<', u"&lt;"_s).replace(u'>', u"&gt;"_s);
}

} // namespace

DesktopNotifications::DesktopNotifications(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus))
{
    auto* watcher = new QDBusServiceWatcher(kService, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) { onOwnerChanged(newOwner); });
    // Two quick questions to the bus itself, never to the notification daemon.
    if (QDBusConnectionInterface* busDaemon = m_bus.interface()) {
        m_running = busDaemon->isServiceRegistered(kService);
        m_activatable = busDaemon->activatableServiceNames().value().contains(kService);
    }
    m_bus.connect(kService, kPath, kInterface, u"ActionInvoked"_s, this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(kService, kPath, kInterface, u"NotificationClosed"_s, this,
                  SLOT(onNotificationClosed(uint)));
}

bool DesktopNotifications::isAvailable() const
{
    return m_running || m_activatable;
}

void DesktopNotifications::show(const QString& summary, const QString& body, const QString& key)
{
    if (!isAvailable())
        return;
    m_waiting.insert(key, Message{summary, body});
    sendWaiting(key);
}

void DesktopNotifications::onOwnerChanged(const QString& newOwner)
{
    m_running = !newOwner.isEmpty();
    // Ids are the old daemon's: a new one may have given them to another program's bubbles, which a
    // replaces_id would then overwrite. Its reading of the body may differ too.
    m_ids.clear();
    m_keys.clear();
    m_bodyText = BodyText::Unknown;
}

void DesktopNotifications::askBodyText()
{
    if (m_askingBodyText)
        return;
    m_askingBodyText = true;
    whenAnswered(m_bus.asyncCall(methodCall(u"GetCapabilities"_s)), this,
                 [this](const QDBusPendingCall& call) {
                     m_askingBodyText = false;
                     const QDBusPendingReply<QStringList> capabilities = call;
                     // Without a clear "no markup" the body is escaped: text from another user must never act
                     // as markup, and at worst a daemon shows an "&amp;".
                     m_bodyText = capabilities.isValid() && !capabilities.value().contains(u"body-markup"_s)
                                      ? BodyText::Plain
                                      : BodyText::Markup;
                     for (const QString& key : m_waiting.keys())
                         sendWaiting(key);
                 });
}

void DesktopNotifications::sendWaiting(const QString& key)
{
    if (m_sending.contains(key) || !m_waiting.contains(key))
        return;
    if (!isAvailable()) {
        m_waiting.remove(key);
        return;
    }
    if (m_bodyText == BodyText::Unknown) {
        askBodyText();
        return;
    }
    notify(key, m_waiting.take(key));
}

void DesktopNotifications::notify(const QString& key, const Message& message)
{
    QDBusMessage call = methodCall(u"Notify"_s);
    call << kAppName << m_ids.value(key) << kAppIcon << message.summary
         << (m_bodyText == BodyText::Markup ? markupEscaped(message.body) : message.body)
         << QStringList{kDefaultAction, u"Открыть"_s} << QVariantMap{{u"category"_s, u"im.received"_s}}
         << kDaemonsExpiry;
    m_sending.insert(key);
    whenAnswered(m_bus.asyncCall(call), this,
                 [this, key](const QDBusPendingCall& answer) { onNotifyAnswered(key, answer); });
}

void DesktopNotifications::onNotifyAnswered(const QString& key, const QDBusPendingReply<uint>& reply)
{
    m_sending.remove(key);
    if (reply.isValid())
        remember(key, reply.value());
    else
        qWarning().noquote() << "The desktop notification was not shown:" << reply.error().message();
    sendWaiting(key);
}

void DesktopNotifications::remember(const QString& key, uint id)
{
    m_keys.remove(m_ids.value(key));
    m_ids.insert(key, id);
    m_keys.insert(id, key);
}

void DesktopNotifications::onActionInvoked(uint id, const QString& action)
{
    const auto shown = m_keys.constFind(id);
    if (action == kDefaultAction && shown != m_keys.constEnd())
        emit activated(*shown);
}

void DesktopNotifications::onNotificationClosed(uint id)
{
    const auto shown = m_keys.constFind(id);
    if (shown == m_keys.constEnd())
        return;
    m_ids.remove(*shown);
    m_keys.erase(shown);
}

} // namespace kovrel

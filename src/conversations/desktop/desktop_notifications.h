// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusPendingReply>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

namespace kovrel {

// Messages shown as desktop notifications through the org.freedesktop.Notifications service, for desktops
// without a system tray. Each notification has a key (a conversation): a new one replaces the bubble of
// the same key, so that a busy conversation shows one bubble, not dozens. Every call to the notification
// daemon is asynchronous; a daemon that is missing, vanishes or answers with an error costs nothing but the
// bubble.
class DesktopNotifications : public QObject
{
    Q_OBJECT

public:
    explicit DesktopNotifications(QDBusConnection bus = QDBusConnection::sessionBus(),
                                  QObject* parent = nullptr);

    // The service runs on the bus, or the bus starts it on the first call.
    bool isAvailable() const;
    // Does nothing when the service is not available.
    void show(const QString& summary, const QString& body, const QString& key);

signals:
    // The user clicked a notification shown under `key`.
    void activated(const QString& key);

private slots:
    void onActionInvoked(uint id, const QString& action);
    void onNotificationClosed(uint id);

private:
    struct Message
    {
        QString summary;
        QString body;
    };
    // How the daemon reads the body text: markup as the notification protocol allows, or plain text.
    enum class BodyText
    {
        Unknown,
        Markup,
        Plain
    };

    void onOwnerChanged(const QString& newOwner);
    void askBodyText();
    void sendWaiting(const QString& key);
    void notify(const QString& key, const Message& message);
    void onNotifyAnswered(const QString& key, const QDBusPendingReply<uint>& reply);
    void remember(const QString& key, uint id);

    QDBusConnection m_bus;
    bool m_running = false;
    bool m_activatable = false;
    BodyText m_bodyText = BodyText::Unknown;
    bool m_askingBodyText = false;
    // The bubble shown for each key, both ways; forgotten when the daemon closes it.
    QHash<QString, uint> m_ids;
    QHash<uint, QString> m_keys;
    // One Notify per key at a time, so that the next one can name the id the first one got; meanwhile only
    // the newest message of a key waits.
    QSet<QString> m_sending;
    QHash<QString, Message> m_waiting;
};

} // namespace kovrel

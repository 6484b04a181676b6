// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QVariantMap>

#include <ostream>

namespace kovrel::test {

// One Notify call as the server received it, with the id it answered.
struct NotifyCall
{
    QString appName;
    uint replacesId = 0;
    QString appIcon;
    QString summary;
    QString body;
    QStringList actions;
    QVariantMap hints;
    int expireTimeout = 0;
    uint id = 0;

    bool operator==(const NotifyCall&) const = default;
};

void PrintTo(const NotifyCall& call, std::ostream* out);

// The desktop's notification daemon, played by the test: it owns org.freedesktop.Notifications on a
// connection of its own to the bus at `busAddress` and records what it is asked to show. Destroying it
// closes that connection, as a daemon that quits.
class FakeNotificationServer : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    enum class Answer
    {
        Id,
        Error,
        Nothing
    };

    explicit FakeNotificationServer(const QString& busAddress,
                                    QStringList capabilities = {QStringLiteral("actions"),
                                                                QStringLiteral("body"),
                                                                QStringLiteral("body-markup")});
    ~FakeNotificationServer() override;

    bool isRegistered() const { return m_registered; }
    const QList<NotifyCall>& calls() const { return m_calls; }
    bool waitForCalls(qsizetype count) const;

    // How the next Notify calls are answered; Nothing holds their answers until answerHeld().
    void setAnswer(Answer answer) { m_answer = answer; }
    void answerHeld();

    // The user clicked the bubble `id`, or one of its buttons.
    void invoke(uint id, const QString& action) { emit ActionInvoked(id, action); }
    // The user dismissed the bubble `id`.
    void dismiss(uint id) { close(id, kDismissedByUser); }

public slots:
    QStringList GetCapabilities() const { return m_capabilities; }
    QString GetServerInformation(QString& vendor, QString& version, QString& protocolVersion) const;
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int expireTimeout);
    void CloseNotification(uint id) { close(id, kClosedByCall); }

signals:
    void ActionInvoked(uint id, const QString& actionKey);
    void NotificationClosed(uint id, uint reason);

private:
    // Reasons of NotificationClosed.
    static constexpr uint kDismissedByUser = 2;
    static constexpr uint kClosedByCall = 3;

    struct HeldCall
    {
        QDBusMessage message;
        qsizetype index; // in m_calls
    };

    // The rule of real daemons: a bubble still shown keeps its id when replaced, else a new one opens.
    uint answerId(qsizetype callIndex);
    void close(uint id, uint reason);

    QString m_connectionName;
    QDBusConnection m_bus;
    QStringList m_capabilities;
    bool m_registered = false;
    Answer m_answer = Answer::Id;
    QList<NotifyCall> m_calls;
    QList<HeldCall> m_held;
    QSet<uint> m_shown;
    uint m_lastId = 0;
};

} // namespace kovrel::test

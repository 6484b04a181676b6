// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <optional>

namespace kovrel {

// How the client tells the user of messages that arrive while nobody looks: every message becomes the
// last message (the tray tip, the notification window's hint and menu); while the program is minimised
// with a sound option on, the notification window is shown, and a message of a conversation whose option
// is on beeps and starts the flash (two pictures taking turns on the tray icon and the notification window)
// until the user acknowledges it.
class MessageAlerts : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kFlashInterval{500};

    explicit MessageAlerts(QObject* parent = nullptr);

    // A line arrived in the common conversation (no partner) or a private one: sender, ": " and message.
    void messageArrived(const std::optional<QString>& partner, const QString& text);
    void setMinimized(bool minimized);
    bool isMinimized() const { return m_minimized; }
    bool isNotificationWindowShown() const { return m_notificationWindowShown; }
    const QString& lastMessage() const { return m_lastMessage; }

    // "Показать", "Прочёл", "Прочел" and a click on the notification window stop the flash.
    void stopFlash();
    bool isFlashing() const { return m_flashTimer.isActive(); }
    int flashPhase() const { return m_phase; }
    // Tests shorten the flash; the default is kFlashInterval.
    void setFlashInterval(std::chrono::milliseconds interval) { m_flashTimer.setInterval(interval); }

signals:
    void lastMessageChanged(const QString& text, const std::optional<QString>& partner);
    void beepRequested();
    // The pictures to show: phase 0 or 1.
    void flashPhaseChanged(int phase);
    // Shown on minimising when a sound option is on, hidden on restoring.
    void notificationWindowChanged(bool shown);
    // "Показать" and "Прочёл" are offered while the program is minimised.
    void trayCommandsChanged(bool offered);

private:
    void BeepTimerTimer();

    QTimer m_flashTimer;
    QString m_lastMessage;
    int m_phase = 0;
    bool m_minimized = false;
    bool m_notificationWindowShown = false;
};

} // namespace kovrel

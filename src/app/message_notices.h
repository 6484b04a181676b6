// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace kovrel {

class DesktopNotifications;
class MessageAlerts;
class MessageSound;
class TBeepForm;
class TrayIcon;

// How the program tells of messages while its window is away: the tray icon with its tip and menu, the small
// notification window, the beep, and, where the desktop shows no tray icons, the desktop's own notifications
// while the window is minimised. It follows the client's message alerts and asks the window for what the user
// chose (bring the program back, show a conversation, change the own state).
class MessageNotices : public QObject
{
    Q_OBJECT

public:
    MessageNotices(MessageAlerts& alerts, QWidget* window);
    ~MessageNotices() override;

    // Whether the desktop shows tray icons; it is looked at again every few seconds.
    bool trayAvailable() const { return m_trayAvailable; }
    void setWindowMinimized(bool minimized) { m_windowMinimized = minimized; }
    // The own state, for the notification window's state menu; none while not logged in.
    void setOwnState(std::function<std::optional<int>()> ownState);

signals:
    // "Показать" of the tray menu.
    void showRequested();
    // A double click on the tray icon while the program is shown.
    void frontRequested();
    // The notification window's button.
    void notificationWindowClicked();
    void stateRequested(int code);
    // A click on a desktop notification: the program comes back with that conversation (none: the common
    // one).
    void conversationRequested(const std::optional<QString>& partner);
    void trayAvailabilityChanged();

private:
    void connectAlerts(MessageAlerts& alerts);
    void watchTrayAvailability();
    void ShowLastMessage(const QString& text, const std::optional<QString>& partner);
    void notificationActivated(const QString& key);

    TrayIcon* m_tray;
    // Not owned by the window's frame: it must stay on screen while the window is minimised.
    std::unique_ptr<TBeepForm> BeepForm;
    DesktopNotifications* m_desktopNotifications;
    std::unique_ptr<MessageSound> m_sound;
    bool m_trayAvailable = false;
    bool m_windowMinimized = false;
};

} // namespace kovrel

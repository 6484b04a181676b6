// SPDX-License-Identifier: GPL-3.0-or-later
#include "message_alerts.h"

#include "settings_layout.h"

#include <utility>

namespace kovrel {

MessageAlerts::MessageAlerts(QObject* parent) : QObject(parent)
{
    m_flashTimer.setInterval(kFlashInterval);
    connect(&m_flashTimer, &QTimer::timeout, this, &MessageAlerts::BeepTimerTimer);
}

void MessageAlerts::messageArrived(const std::optional<QString>& partner, const QString& text)
{
    m_lastMessage = text;
    emit lastMessageChanged(text, partner);
    const ConfigFlag sound = partner ? ConfigFlag::BeepOnPrivate : ConfigFlag::BeepOnPublic;
    if (m_notificationWindowShown && ReadConfigFlag(sound)) {
        emit beepRequested();
        // A flash under way goes on in its phase.
        if (!m_flashTimer.isActive()) {
            m_flashTimer.start();
        }
    }
}

void MessageAlerts::setMinimized(bool minimized)
{
    if (minimized == m_minimized) {
        return;
    }
    m_minimized = minimized;
    // Options changed while minimised do not show or hide the window: they count from the next minimising.
    m_notificationWindowShown =
        minimized && (ReadConfigFlag(ConfigFlag::BeepOnPublic) || ReadConfigFlag(ConfigFlag::BeepOnPrivate));
    emit notificationWindowChanged(m_notificationWindowShown);
    emit trayCommandsChanged(minimized);
}

void MessageAlerts::stopFlash()
{
    m_flashTimer.stop();
    // Stopped in its lit phase, the tray would keep the alert picture and read as still unread.
    if (std::exchange(m_phase, 0) != 0) {
        emit flashPhaseChanged(0);
    }
}

void MessageAlerts::BeepTimerTimer()
{
    m_phase = 1 - m_phase;
    emit flashPhaseChanged(m_phase);
}

} // namespace kovrel

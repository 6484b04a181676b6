// SPDX-License-Identifier: GPL-3.0-or-later
#include "message_notices.h"

#include "beep_form.h"
#include "desktop_notifications.h"
#include "message_alerts.h"
#include "message_sound.h"
#include "tray_icon.h"

#include <QDBusConnection>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <utility>

namespace kovrel {

namespace {

// How often the desktop is asked whether it started or stopped showing tray icons.
constexpr std::chrono::seconds kTrayCheckInterval{5};
// Desktop notifications are known by their conversation.
const QString kCommonConversationKey = QStringLiteral("common");
const QString kPrivateConversationKey = QStringLiteral("private:");

} // namespace

MessageNotices::MessageNotices(MessageAlerts& alerts, QWidget* window)
    : QObject(window), m_tray(new TrayIcon(window)), BeepForm(std::make_unique<TBeepForm>()),
      m_desktopNotifications(new DesktopNotifications(QDBusConnection::sessionBus(), this)),
      m_sound(std::make_unique<MessageSound>())
{
    connectAlerts(alerts);
    connect(m_tray, &TrayIcon::showRequested, this, &MessageNotices::showRequested);
    connect(m_tray, &TrayIcon::frontRequested, this, &MessageNotices::frontRequested);
    connect(BeepForm.get(), &TBeepForm::showRequested, this, &MessageNotices::notificationWindowClicked);
    connect(BeepForm.get(), &TBeepForm::stateRequested, this, &MessageNotices::stateRequested);
    connect(m_desktopNotifications, &DesktopNotifications::activated, this,
            &MessageNotices::notificationActivated);
    watchTrayAvailability();
}

MessageNotices::~MessageNotices() = default;

void MessageNotices::setOwnState(std::function<std::optional<int>()> ownState)
{
    BeepForm->setOwnState(std::move(ownState));
}

void MessageNotices::connectAlerts(MessageAlerts& alerts)
{
    connect(&alerts, &MessageAlerts::lastMessageChanged, this, &MessageNotices::ShowLastMessage);
    connect(&alerts, &MessageAlerts::beepRequested, this, [this] { m_sound->play(); });
    connect(&alerts, &MessageAlerts::flashPhaseChanged, this, [this](int phase) {
        m_tray->setFlashPhase(phase);
        BeepForm->setFlashPhase(phase);
    });
    connect(&alerts, &MessageAlerts::notificationWindowChanged, BeepForm.get(), &QWidget::setVisible);
    connect(&alerts, &MessageAlerts::trayCommandsChanged, m_tray, &TrayIcon::setCommandsOffered);
    connect(m_tray, &TrayIcon::readRequested, &alerts, &MessageAlerts::stopFlash);
    connect(BeepForm.get(), &TBeepForm::readRequested, &alerts, &MessageAlerts::stopFlash);
}

void MessageNotices::watchTrayAvailability()
{
    m_trayAvailable = TrayIcon::isAvailable();
    auto* check = new QTimer(this);
    connect(check, &QTimer::timeout, this, [this] {
        if (std::exchange(m_trayAvailable, TrayIcon::isAvailable()) != m_trayAvailable) {
            emit trayAvailabilityChanged();
        }
    });
    check->start(kTrayCheckInterval);
}

void MessageNotices::ShowLastMessage(const QString& text, const std::optional<QString>& partner)
{
    m_tray->ShowLastMessage(text);
    BeepForm->ShowLastMessage(text);
    // Without a tray the desktop's own notifications tell of what arrives while the window is away.
    if (!m_trayAvailable && m_windowMinimized) {
        const QString conversation = partner ? *partner : QStringLiteral("Общий разговор");
        m_desktopNotifications->show(QStringLiteral("Kovrel: ") + conversation, text,
                                     partner ? kPrivateConversationKey + *partner : kCommonConversationKey);
    }
}

void MessageNotices::notificationActivated(const QString& key)
{
    if (key == kCommonConversationKey) {
        emit conversationRequested(std::nullopt);
    } else if (key.startsWith(kPrivateConversationKey)) {
        emit conversationRequested(key.mid(kPrivateConversationKey.size()));
    }
}

} // namespace kovrel

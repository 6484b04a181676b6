// SPDX-License-Identifier: GPL-3.0-or-later
#include "tray_icon.h"

#include "artwork.h"

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>

namespace kovrel {

TrayIcon::TrayIcon(QWidget* owner) : QObject(owner)
{
    TaskIcon = new QSystemTrayIcon(artwork::trayIcon(0), this);
    TaskIcon->setObjectName(QStringLiteral("TaskIcon"));
    TaskMenu = new QMenu(owner);
    TaskMenu->setObjectName(QStringLiteral("TaskMenu"));
    N1 = TaskMenu->addAction(QStringLiteral("Показать"));
    N1->setObjectName(QStringLiteral("N1"));
    TaskMenu->setDefaultAction(N1);
    N7 = TaskMenu->addAction(QStringLiteral("Прочёл"));
    N7->setObjectName(QStringLiteral("N7"));
    setCommandsOffered(false);
    connect(N1, &QAction::triggered, this, &TrayIcon::showRequested);
    connect(N7, &QAction::triggered, this, &TrayIcon::readRequested);
    connect(TaskIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick) {
            TaskIconDblClick();
        } else if (reason == QSystemTrayIcon::Context) {
            TaskIconRightClick();
        }
    });
    TaskIcon->show();
}

bool TrayIcon::isAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::ShowLastMessage(const QString& text)
{
    TaskIcon->setToolTip(text.left(kTipLength));
}

void TrayIcon::setFlashPhase(int phase)
{
    TaskIcon->setIcon(artwork::trayIcon(phase));
}

void TrayIcon::setCommandsOffered(bool offered)
{
    N1->setVisible(offered);
    N7->setVisible(offered);
}

void TrayIcon::TaskIconDblClick()
{
    if (N1->isVisible()) {
        emit showRequested();
    } else {
        emit frontRequested();
    }
}

// While the program is shown both items are hidden, and an empty menu is not shown at all.
void TrayIcon::TaskIconRightClick()
{
    if (N1->isVisible()) {
        TaskMenu->popup(QCursor::pos());
    }
}

} // namespace kovrel

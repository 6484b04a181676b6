// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace kovrel {

// The tray icon ("TaskIcon") with its menu ("TaskMenu"): "Показать" brings the program back and
// "Прочёл" acknowledges the last message; both are offered only while the program is minimised. Its tip is
// the beginning of the last message; it flashes with the notification window.
class TrayIcon : public QObject
{
    Q_OBJECT

public:
    // At most this many characters of the last message make the tip.
    static constexpr int kTipLength = 50;

    explicit TrayIcon(QWidget* owner);

    // Whether the desktop shows tray icons at all; it may start or stop doing so while the program runs.
    static bool isAvailable();
    void ShowLastMessage(const QString& text);
    void setFlashPhase(int phase);
    void setCommandsOffered(bool offered);

signals:
    void showRequested();
    void readRequested();
    // A double click while the program is shown.
    void frontRequested();

private:
    void TaskIconDblClick();
    void TaskIconRightClick();

    QSystemTrayIcon* TaskIcon;
    QMenu* TaskMenu;
    QAction* N1;
    QAction* N7;
};

} // namespace kovrel

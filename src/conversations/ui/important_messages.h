// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QWidget;

namespace kovrel {

class TImpotatntMessageForm;

// The pop-ups of important lines. Each line opens a window of its own, offset from the previous one so
// that none hides another exactly; with kMaxOpen windows open, further lines are added to the newest, so
// that a flood of important lines cannot bury the desktop in windows.
class ImportantMessages : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxOpen = 5;

    explicit ImportantMessages(QWidget* owner);

    void show(const QString& line);
    int openCount() const;

private:
    QWidget* m_owner;
    QList<QPointer<TImpotatntMessageForm>> m_windows;
};

} // namespace kovrel

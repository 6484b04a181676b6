// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

namespace kovrel::test {

// Answers every message box as soon as it is up, recording its title and text as "title: text".
class MessageBoxAnswerer
{
public:
    MessageBoxAnswerer()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts.append(box->windowTitle() + QStringLiteral(": ") + box->text());
                box->accept();
            }
        });
        m_timer.start(0);
    }

    QStringList texts;

private:
    QTimer m_timer;
};

} // namespace kovrel::test

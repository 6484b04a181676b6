// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <stdexcept>

#include <QApplication>
#include <QMetaObject>
#include <QString>
#include <QTimer>
#include <QWidget>

namespace kovrel::test {

// Acts on the next modal dialog of a type once it is up, from inside that dialog's own event loop. A
// dialog opened from inside an answer needs an answerer of its own.
class ModalAnswerer
{
public:
    template <typename Dialog> void answerNext(std::function<void(Dialog&)> answer)
    {
        QObject::disconnect(m_connection);
        m_connection = QObject::connect(&m_timer, &QTimer::timeout, [this, answer] {
            if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
                m_timer.stop();
                answer(*dialog);
            }
        });
        m_timer.start(0);
    }

private:
    QTimer m_timer;
    QMetaObject::Connection m_connection;
};

// The child control of `dialog` with this object name; a test cannot go on without it.
template <typename Control> Control& control(const QWidget& dialog, const QString& name)
{
    auto* found = dialog.findChild<Control*>(name);
    if (!found)
        throw std::logic_error("no control " + name.toStdString());
    return *found;
}

} // namespace kovrel::test

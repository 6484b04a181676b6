// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

class QMouseEvent;

namespace kovrel {

// A line of text that works as a link: navy, underlined, with the hand pointer. A click with the left
// button emits clicked(); what the link opens is up to the window that connects to it.
class LinkLabel : public QLabel
{
    Q_OBJECT

public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace kovrel

// SPDX-License-Identifier: GPL-3.0-or-later
#include "important_messages.h"

#include "important_message_form.h"

#include <algorithm>

namespace kovrel {

namespace {

// How far each further window is moved from the one before it, right and down.
constexpr QPoint kCascadeStep(24, 24);

} // namespace

ImportantMessages::ImportantMessages(QWidget* owner) : QObject(owner), m_owner(owner) {}

int ImportantMessages::openCount() const
{
    return static_cast<int>(
        std::count_if(m_windows.begin(), m_windows.end(),
                      [](const QPointer<TImpotatntMessageForm>& window) { return window; }));
}

void ImportantMessages::show(const QString& line)
{
    m_windows.removeAll(nullptr);
    if (m_windows.size() >= kMaxOpen) {
        m_windows.back()->AddMessageText(line);
        return;
    }
    auto* window = new TImpotatntMessageForm(m_owner);
    window->SetMessageText(line);
    if (!m_windows.isEmpty()) {
        window->move(m_windows.back()->pos() + kCascadeStep);
    }
    m_windows.append(window);
    window->show();
}

} // namespace kovrel

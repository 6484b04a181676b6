// SPDX-License-Identifier: GPL-3.0-or-later
#include "answer_wait.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace kovrel {

bool AnswerWaits::waitUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline)
{
    if (done()) {
        return true;
    }
    QEventLoop loop;
    QTimer expiry;
    expiry.setSingleShot(true);
    QObject::connect(&expiry, &QTimer::timeout, &loop, &QEventLoop::quit);
    expiry.start(deadline);
    m_waits.push_back({&done, &loop});
    loop.exec();
    std::erase_if(m_waits, [&](const Wait& wait) { return wait.loop == &loop; });
    return done();
}

void AnswerWaits::wake()
{
    // A loop further out that is told to quit returns once the loops nested in it have.
    for (const Wait& wait : m_waits) {
        if ((*wait.done)()) {
            wait.loop->quit();
        }
    }
}

} // namespace kovrel

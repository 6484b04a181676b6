// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <functional>
#include <vector>

class QEventLoop;

namespace kovrel {

// Waits for answers that arrive through the event loop. A wait keeps every event flowing (socket data,
// timers, user input), so the answer it waits for is handled inside it; it returns as soon as its
// condition holds or its deadline passes. Whoever may have delivered an answer calls wake(), which ends
// every wait whose condition now holds, nested ones included.
class AnswerWaits
{
public:
    // True when `done` held before the deadline.
    bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline);
    void wake();

private:
    struct Wait
    {
        const std::function<bool()>* done;
        QEventLoop* loop;
    };

    std::vector<Wait> m_waits;
};

} // namespace kovrel

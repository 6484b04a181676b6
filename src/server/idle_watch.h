// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>

namespace kovrel::server {

// Decides, at each tick of a connection's probe timer, whether to probe it or give up on it. A connection
// that has sent nothing for a whole probe period is probed ("TestConnection", which the client sends
// back); one that has sent nothing for three periods is closed.
class IdleWatch
{
public:
    using Clock = std::chrono::steady_clock;
    enum class Action
    {
        None,
        Probe,
        Close
    };

    static constexpr int kSilentPeriodsBeforeClose = 3;

    IdleWatch(Clock::duration probeInterval, Clock::time_point now);

    Clock::duration probeInterval() const { return m_probeInterval; }

    // Anything received counts: chat, requests, the client's own keep-alive, the echo of a probe.
    void heard(Clock::time_point now) { m_lastHeard = now; }

    Action tick(Clock::time_point now) const;

private:
    Clock::duration m_probeInterval;
    Clock::time_point m_lastHeard;
};

} // namespace kovrel::server

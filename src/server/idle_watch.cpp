// SPDX-License-Identifier: GPL-3.0-or-later
#include "idle_watch.h"

namespace kovrel::server {

IdleWatch::IdleWatch(Clock::duration probeInterval, Clock::time_point now)
    : m_probeInterval(probeInterval), m_lastHeard(now)
{}

IdleWatch::Action IdleWatch::tick(Clock::time_point now) const
{
    const Clock::duration silent = now - m_lastHeard;
    if (silent >= kSilentPeriodsBeforeClose * m_probeInterval) {
        return Action::Close;
    }
    return silent >= m_probeInterval ? Action::Probe : Action::None;
}

} // namespace kovrel::server

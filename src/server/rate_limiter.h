// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>

namespace kovrel::server {

// A token bucket: on average `perSecond` units a second (messages, or bytes), with up to `burst` at once
// after a quiet spell. A rate of zero lets everything through.
class RateLimiter
{
public:
    using Clock = std::chrono::steady_clock;

    RateLimiter(double perSecond, double burst);

    // True when an event costing `cost` units may go ahead (and spends them), false when it is to be
    // dropped. An event dearer than the whole burst goes ahead on a full bucket and leaves it in debt, so
    // the average still holds.
    bool allow(Clock::time_point now, double cost = 1);

private:
    double m_perSecond;
    double m_burst;
    double m_tokens;
    Clock::time_point m_refilled{};
};

} // namespace kovrel::server

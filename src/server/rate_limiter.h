#pragma once

#include <chrono>

namespace kovrel::server {

// A token bucket: on average `perSecond` events a second, with up to `burst` at once after a quiet spell.
// A rate of zero lets everything through.
class RateLimiter
{
public:
    using Clock = std::chrono::steady_clock;

    RateLimiter(double perSecond, double burst);

    // True when the event may go ahead (and spends a token), false when it is to be dropped.
    bool allow(Clock::time_point now);

private:
    double m_perSecond;
    double m_burst;
    double m_tokens;
    Clock::time_point m_refilled{};
};

} // namespace kovrel::server

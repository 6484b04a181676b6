// SPDX-License-Identifier: GPL-3.0-or-later
#include "rate_limiter.h"

#include <algorithm>

namespace kovrel::server {

RateLimiter::RateLimiter(double perSecond, double burst)
    : m_perSecond(perSecond), m_burst(std::max(burst, 1.0)), m_tokens(m_burst)
{}

bool RateLimiter::allow(Clock::time_point now, double cost)
{
    if (m_perSecond <= 0) {
        return true;
    }
    if (now > m_refilled) {
        const double elapsed = std::chrono::duration<double>(now - m_refilled).count();
        m_tokens = std::min(m_burst, m_tokens + elapsed * m_perSecond);
        m_refilled = now;
    }
    if (m_tokens < std::min(cost, m_burst)) {
        return false;
    }
    m_tokens -= cost;
    return true;
}

} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <string>
#include <unordered_map>

namespace kovrel::server {

// Wrong passwords per address: an address with kMaxFailures failures within kWindow gets no more checks
// until the oldest of them is older, so that passwords cannot be guessed at the speed of the hash. A check
// under way counts as a failure until it is over, so that checks started together cannot pass the limit
// either. Not thread-safe.
class PasswordFailures
{
public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::size_t kMaxFailures = 5;
    static constexpr Clock::duration kWindow = std::chrono::minutes(1);

    // Whether a password from `address` may be checked at `now`; if so, the check is under way.
    bool admit(const std::string& address, Clock::time_point now);
    // The check admitted for `address` is over; a failed one counts from `now`.
    void settle(const std::string& address, bool failed, Clock::time_point now);

    // Addresses with failures still counted or checks under way.
    std::size_t addresses() const { return m_byAddress.size(); }

private:
    struct Record
    {
        std::deque<Clock::time_point> failures; // oldest first
        std::size_t underWay = 0;
    };

    // Forgets the failures of every address that are older than the window, and the addresses left with
    // nothing.
    void forgetOld(Clock::time_point now);
    static void forgetOld(Record& record, Clock::time_point now);

    std::unordered_map<std::string, Record> m_byAddress;
};

} // namespace kovrel::server

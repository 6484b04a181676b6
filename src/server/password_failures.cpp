// SPDX-License-Identifier: GPL-3.0-or-later
#include "password_failures.h"

namespace kovrel::server {

bool PasswordFailures::admit(const std::string& address, Clock::time_point now)
{
    Record& record = m_byAddress[address];
    forgetOld(record, now);
    if (record.failures.size() + record.underWay >= kMaxFailures) {
        return false;
    }
    ++record.underWay;
    return true;
}

void PasswordFailures::settle(const std::string& address, bool failed, Clock::time_point now)
{
    const auto record = m_byAddress.find(address);
    if (record == m_byAddress.end() || record->second.underWay == 0) {
        return;
    }
    --record->second.underWay;
    if (failed) {
        record->second.failures.push_back(now);
    }
    // Every address is swept, not only this one, so that those that failed once and never came back do not
    // pile up.
    forgetOld(now);
}

void PasswordFailures::forgetOld(Clock::time_point now)
{
    for (auto record = m_byAddress.begin(); record != m_byAddress.end();) {
        forgetOld(record->second, now);
        if (record->second.failures.empty() && record->second.underWay == 0) {
            record = m_byAddress.erase(record);
        } else {
            ++record;
        }
    }
}

void PasswordFailures::forgetOld(Record& record, Clock::time_point now)
{
    while (!record.failures.empty() && now - record.failures.front() >= kWindow) {
        record.failures.pop_front();
    }
}

} // namespace kovrel::server

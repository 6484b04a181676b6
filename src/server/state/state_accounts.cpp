// SPDX-License-Identifier: GPL-3.0-or-later
#include "state_accounts.h"

#include <string>
#include <utility>

namespace kovrel::server {

StateAccounts::StateAccounts(const std::filesystem::path& file, EventLog& log) : m_database(file), m_log(log)
{}

std::optional<Account> StateAccounts::find(std::string_view nick)
{
    readIfChanged();
    return m_accounts.find(nick);
}

void StateAccounts::readIfChanged()
{
    const std::lock_guard lock(m_mutex);
    try {
        const std::int64_t version = m_database.dataVersion();
        if (version != m_version) {
            m_accounts.replace(m_database.accounts());
            m_version = version;
        }
        if (std::exchange(m_failing, false)) {
            m_log.write("accounts", {}, {}, "read again");
        }
    } catch (const StateDatabaseError& error) {
        if (!std::exchange(m_failing, true)) {
            m_log.write("accounts", {}, {}, std::string(error.what()) + "; the accounts read last are used");
        }
    }
}

} // namespace kovrel::server

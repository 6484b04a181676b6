// SPDX-License-Identifier: GPL-3.0-or-later
#include "accounts.h"

#include <exception>
#include <optional>
#include <utility>

#include "password_hash.h"

namespace kovrel::server {

Accounts::Accounts(AccountBook& book, unsigned threads) : m_book(book)
{
    for (unsigned i = 0; i < threads; ++i) {
        m_threads.emplace_back([this] { work(); });
    }
}

Accounts::~Accounts()
{
    stop();
}

void Accounts::check(std::string address, std::string nick, std::string password, Done done)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_stopping) {
            return;
        }
        m_waiting.push_back({std::move(address), std::move(nick), std::move(password), std::move(done)});
    }
    m_wake.notify_one();
}

void Accounts::stop()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_waiting.clear();
    }
    m_wake.notify_all();
    for (std::thread& thread : m_threads) {
        if (thread.joinable()) {
            thread.join();
        }
    }
}

void Accounts::work()
{
    for (;;) {
        Check check;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_waiting.empty(); });
            if (m_stopping) {
                return;
            }
            check = std::move(m_waiting.front());
            m_waiting.pop_front();
        }
        check.done(decide(check));
    }
}

Accounts::Outcome Accounts::decide(const Check& check)
{
    {
        // Decided when the check's turn comes, so that the failures of the checks before it count.
        const std::lock_guard lock(m_mutex);
        if (!m_failures.admit(check.address, PasswordFailures::Clock::now())) {
            return Outcome::TooManyFailures;
        }
    }
    Outcome outcome = Outcome::NoAccount;
    try {
        if (const std::optional<Account> account = m_book.find(check.nick)) {
            outcome = passwordMatches(check.password, account->passwordHash) ? Outcome::Accepted
                                                                             : Outcome::WrongPassword;
        }
    } catch (const std::exception&) {
        outcome = Outcome::CheckFailed;
    }
    const bool failed = outcome == Outcome::WrongPassword || outcome == Outcome::NoAccount;
    const std::lock_guard lock(m_mutex);
    m_failures.settle(check.address, failed, PasswordFailures::Clock::now());
    return outcome;
}

} // namespace kovrel::server

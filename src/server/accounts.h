// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "account_book.h"
#include "password_failures.h"

namespace kovrel::server {

// The reserved nicks of the server and the checks of their passwords, for every connection and thread.
// A check hashes the password, which takes tens of milliseconds and 32 MiB, so checks run on threads of
// their own: as many at once as there are threads, the others waiting in order. Safe to call from any
// thread.
class Accounts
{
public:
    enum class Outcome
    {
        Accepted,
        WrongPassword,
        NoAccount,
        TooManyFailures, // refused without looking at the password
        CheckFailed      // the hash could not be computed
    };
    using Done = std::function<void(Outcome)>;

    // `book` must outlive this; `threads` checks run at most at once.
    Accounts(AccountBook& book, unsigned threads);
    ~Accounts();
    Accounts(const Accounts&) = delete;
    Accounts& operator=(const Accounts&) = delete;

    // Whether `nick`, or a nick that reads like it, has an account.
    bool reserved(std::string_view nick) { return m_book.find(nick).has_value(); }

    // Checks the password given for `nick` from `address`. `done` runs on a checking thread.
    void check(std::string address, std::string nick, std::string password, Done done);

    // Lets the checks under way finish and stops the threads; the `done` of a check still waiting, or asked
    // for later, never runs.
    void stop();

private:
    struct Check
    {
        std::string address;
        std::string nick;
        std::string password;
        Done done;
    };

    void work();
    Outcome decide(const Check& check);

    AccountBook& m_book;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Check> m_waiting;
    PasswordFailures m_failures;
    bool m_stopping = false;
    std::vector<std::thread> m_threads; // last: they start once everything above is ready
};

} // namespace kovrel::server

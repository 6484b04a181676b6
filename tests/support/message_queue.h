// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTest>

#include <string>
#include <vector>

namespace kovrel::test {

// Messages as they arrive at a test peer, read in order by the test.
class MessageQueue
{
public:
    void push(std::string message) { m_messages.push_back(std::move(message)); }
    const std::vector<std::string>& all() const { return m_messages; }
    void clear()
    {
        m_messages.clear();
        m_looked = 0;
    }

    // Waits, with the event loop running, for the next message that starts with `prefix`; the ones
    // before it are passed over. Returns "" on the deadline.
    std::string waitFor(const std::string& prefix, int timeoutMs)
    {
        std::string found;
        static_cast<void>(QTest::qWaitFor(
            [&] {
                for (; m_looked < m_messages.size(); ++m_looked) {
                    if (m_messages[m_looked].starts_with(prefix)) {
                        found = m_messages[m_looked++];
                        return true;
                    }
                }
                return false;
            },
            timeoutMs));
        return found;
    }

private:
    std::vector<std::string> m_messages;
    std::size_t m_looked = 0;
};

} // namespace kovrel::test

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ostream>
#include <streambuf>

#include "event_log.h"

namespace kovrel::server::fuzz {

// An event log whose lines are thrown away: the server's harnesses check what it does, not what it says.
class DiscardedLog
{
public:
    DiscardedLog() : m_text(&m_nowhere), m_log(m_text, true) {}
    DiscardedLog(const DiscardedLog&) = delete;
    DiscardedLog& operator=(const DiscardedLog&) = delete;

    EventLog& log() { return m_log; }

private:
    class Nowhere : public std::streambuf
    {
    protected:
        int overflow(int c) override { return c; }
    };

    Nowhere m_nowhere;
    std::ostream m_text;
    EventLog m_log;
};

} // namespace kovrel::server::fuzz

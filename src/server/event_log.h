// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <iosfwd>
#include <mutex>
#include <string_view>

namespace kovrel::server {

// The administrator's log: one line per event, "time event peer "nick" detail". Nicks and details are
// wire texts (Windows-1251); they are written as UTF-8 with control characters escaped, so a client can
// neither garble nor forge log lines. Safe to write from any thread: lines are written whole.
class EventLog
{
public:
    EventLog(std::ostream& out, bool verbose);

    // Received messages and dropped ones are logged only when verbose.
    bool verbose() const { return m_verbose; }

    void write(std::string_view event, std::string_view peer, std::string_view nick,
               std::string_view detail = {});

private:
    std::ostream& m_out;
    bool m_verbose;
    std::mutex m_mutex;
};

} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
#include "event_log.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <ostream>

#include "message_text.h"

namespace kovrel::server {
namespace {

// UTC with milliseconds, e.g. 2026-03-01T09:15:02.481Z.
std::string timestamp()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + length, sizeof text - length, ".%03dZ", static_cast<int>(millis));
    return text;
}

} // namespace

EventLog::EventLog(std::ostream& out, bool verbose) : m_out(out), m_verbose(verbose) {}

void EventLog::write(std::string_view event, std::string_view peer, std::string_view nick,
                     std::string_view detail)
{
    std::string line = timestamp() + ' ' + std::string(event) + ' ' + std::string(peer.empty() ? "-" : peer);
    line += nick.empty() ? std::string(" -") : " \"" + printable(nick) + '"';
    if (!detail.empty()) {
        line += ' ' + printable(detail);
    }
    line += '\n';
    const std::lock_guard lock(m_mutex);
    m_out << line << std::flush;
    // A failed write (the log's reader went away, the disk is full) loses this line only: the stream is
    // made usable again so that the next line is tried, and the server carries on either way.
    m_out.clear();
}

} // namespace kovrel::server

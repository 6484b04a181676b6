#pragma once

#include <chrono>
#include <filesystem>

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>

#include "event_log.h"
#include "room.h"

namespace kovrel::server {

// Saves the room's topic and cards to the state file shortly after they change: every log-in publishes a
// card, and a burst of them should cost one write, not one each.
class StateSaver
{
public:
    static constexpr std::chrono::seconds kDelay{2};

    StateSaver(asio::io_context& io, Room& room, std::filesystem::path file, EventLog& log);

    // Writes now if anything is unsaved; used on the way out.
    void flush();

private:
    void changed();
    void save();

    Room& m_room;
    std::filesystem::path m_file;
    EventLog& m_log;
    asio::steady_timer m_timer;
    bool m_unsaved = false;
};

} // namespace kovrel::server

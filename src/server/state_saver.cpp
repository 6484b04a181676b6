#include "state_saver.h"

#include <utility>

namespace kovrel::server {

StateSaver::StateSaver(asio::io_context& io, Room& room, std::filesystem::path file, EventLog& log)
    : m_room(room), m_file(std::move(file)), m_log(log), m_timer(io)
{
    m_room.onKeptStateChanged([this] { changed(); });
}

void StateSaver::flush()
{
    m_timer.cancel();
    if (m_unsaved) {
        save();
    }
}

void StateSaver::changed()
{
    if (m_unsaved) {
        return; // a save is already due
    }
    m_unsaved = true;
    m_timer.expires_after(kDelay);
    m_timer.async_wait([this](std::error_code ec) {
        if (!ec) {
            save();
        }
    });
}

void StateSaver::save()
{
    m_unsaved = false;
    if (const std::error_code ec = saveKeptState(m_file, m_room.keptState())) {
        // Kept in memory; the next change tries again.
        m_log.write("state-not-saved", {}, {}, m_file.string() + ": " + ec.message());
    }
}

} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
// The server's session input: the bytes of one connection, cut into reads, through the stream reader into
// the command handler, as a session hands them over, in a room where another user is logged in. Whatever
// the bytes say, the handler must not crash, and once the connection closes the room holds only the user
// who was there before.
//
// Input: the first byte chooses where the stream is cut into reads; the rest is the stream. Time moves
// on by a millisecond a field, so that the rate limit lets some messages through and drops others.

#include "command_handler.h"
#include "discarded_log.h"
#include "fake_participant.h"
#include "packet_reader.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

namespace {

using namespace kovrel::server;
using kovrel::server::test::FakeParticipant;

void check(bool holds)
{
    if (!holds) {
        std::abort();
    }
}

const Blacklist& blacklist()
{
    static const Blacklist listed = [] {
        std::istringstream file("10.0.0.66\n");
        return Blacklist::parse(file, "fuzz");
    }();
    return listed;
}

// Feeds one read as Session::received does: a stream out of step closes the connection.
bool feedRead(kovrel::PacketReader& reader, CommandHandler& handler, std::string_view read,
              RateLimiter::Clock::time_point& now)
{
    if (reader.feed(read).outOfStep) {
        return false;
    }
    for (const std::string& field : reader.takeFields(reader.queuedFields())) {
        now += std::chrono::milliseconds(1);
        handler.handle(field, now);
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const std::size_t readSize = data[0] + 1u;
    const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);

    fuzz::DiscardedLog discarded;
    Room room;
    const auto bystander = std::make_shared<FakeParticipant>("192.168.1.20");
    check(room.join(bystander, "Anna"));

    const auto connection = std::make_shared<FakeParticipant>("192.168.1.10");
    // The server's default limits: 20 messages and 64 KiB a second, bursts of twice that.
    CommandHandler handler(room, *connection, blacklist(), {RateLimiter(20, 40), RateLimiter(65536, 131072)},
                           discarded.log(), "192.168.1.10:5000");
    kovrel::PacketReader reader;
    RateLimiter::Clock::time_point now{std::chrono::hours(1)};
    for (std::size_t at = 0; at < stream.size(); at += readSize) {
        if (!feedRead(reader, handler, stream.substr(at, readSize), now)) {
            break;
        }
    }
    handler.connectionClosed();
    check(room.size() == 1 && room.find(*bystander) != nullptr);
    // What reached the others must read back as whole fields.
    bystander->takeFields();
    connection->takeFields();
    return 0;
}

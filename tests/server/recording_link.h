// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "room_link.h"

namespace kovrel::server::test {

// Records what a room, or the hub of a server's threads, tells the other nodes; claims wait until the test
// answers them.
class RecordingLink : public RoomLink
{
public:
    void claimNick(std::string_view nick, std::string_view, ClaimDone done) override
    {
        claims.push_back(std::string(nick));
        pending = std::move(done);
    }
    void releaseNick(std::string_view nick) override { events.push_back("release " + std::string(nick)); }
    void joined(std::string_view nick, std::string_view) override
    {
        events.push_back("join " + std::string(nick));
    }
    void left(std::string_view nick) override { events.push_back("leave " + std::string(nick)); }
    void stateChanged(std::string_view nick, std::string_view, int state) override
    {
        events.push_back("state " + std::string(nick) + " " + std::to_string(state));
    }
    void topicChanged(std::string_view topic) override { events.push_back("topic " + std::string(topic)); }
    void chatSent(const SharedBytes& bytes) override { chats.push_back(bytes); }
    void privateSent(std::string_view node, std::string_view nick, const SharedBytes& bytes) override
    {
        privates.push_back({std::string(node) + " " + std::string(nick), bytes});
    }

    void answer(Claim claim) { std::exchange(pending, nullptr)(claim); }

    std::vector<std::string> claims;
    std::vector<std::string> events;
    std::vector<SharedBytes> chats;
    std::vector<std::pair<std::string, SharedBytes>> privates;
    ClaimDone pending;
};

} // namespace kovrel::server::test

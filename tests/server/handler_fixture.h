// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "command_handler.h"
#include "cp1251.h"
#include "fake_participant.h"

namespace kovrel::server::test {

using Fields = std::vector<std::string>;

inline std::string utf8(std::string_view text)
{
    return cp1251::fromUtf8(text);
}

// One connection as the server keeps it, with a fake instead of the socket.
struct FakeConnection
{
    FakeConnection(Room& room, const Blacklist& blacklist, EventLog& log, std::string address,
                   PasswordChecks passwords = {}, bool encrypted = false)
        : participant(makeParticipant(address, encrypted)),
          handler(room, *participant, blacklist, {RateLimiter(20, 40), RateLimiter(65536, 131072)}, log,
                  address + ":5000", std::move(passwords))
    {}

    std::shared_ptr<FakeParticipant> participant;
    CommandHandler handler;
};

// A room, a blacklist holding 10.0.0.66, and connections that talk to it; time stands still unless a test
// moves it.
class HandlerTest : public ::testing::Test
{
protected:
    HandlerTest() : blacklist(makeBlacklist()), log(logText, true) {}

    FakeConnection& connect(std::string address = "192.168.1.10")
    {
        connections.push_back(std::make_unique<FakeConnection>(room, blacklist, log, std::move(address)));
        return *connections.back();
    }

    // Connects and logs in; everything received up to here is discarded, for this and every other connection.
    FakeConnection& login(std::string_view nick, std::string address = "192.168.1.10")
    {
        FakeConnection& connection = connect(std::move(address));
        send(connection, "AddUser|" + std::string(nick));
        EXPECT_TRUE(connection.handler.loggedIn()) << nick;
        for (const auto& other : connections) {
            other->participant->takeFields();
        }
        return connection;
    }

    void send(FakeConnection& connection, std::string_view message)
    {
        connection.handler.handle(message, now);
    }

    Fields received(FakeConnection& connection) { return connection.participant->takeFields(); }

    static Blacklist makeBlacklist()
    {
        std::istringstream file("10.0.0.66\n");
        return Blacklist::parse(file, "test");
    }

    Room room;
    Blacklist blacklist;
    std::ostringstream logText;
    EventLog log;
    RateLimiter::Clock::time_point now{std::chrono::hours(1)};
    std::vector<std::unique_ptr<FakeConnection>> connections;
};

} // namespace kovrel::server::test

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <asio/any_io_executor.hpp>

#include "accounts.h"
#include "blacklist.h"
#include "event_log.h"
#include "participant.h"
#include "rate_limiter.h"
#include "room.h"

namespace kovrel::server {

// How a connection gives passwords: the server's accounts (none: every "Auth" is refused), the event loop
// that hears the outcome of a check, and what runs there once its answer has been sent.
struct PasswordChecks
{
    Accounts* accounts = nullptr;
    asio::any_io_executor executor;
    std::function<void()> answered;
};

// Acts on the messages of one connection, in the order they arrive. Knows nothing of sockets: replies go
// to the participant, announcements through the room.
//
// The connection becomes a user with "AddUser" and stops being one with "DelUser" or when it closes.
// Before that only the log-in conversation is answered ("Auth", "ExistUser", "GetUser", "AddUser",
// "DelUser"); everything else is ignored. A nick with an account (and every nick that reads like it) counts
// as taken unless the connection gave its password ("Auth", over TLS only); while a password is checked,
// the connection's next messages must wait (see checkingPassword()), so that the answers keep their order.
// Whatever a message claims, the server speaks for the user under its real nick. Messages that others hear
// (chat, state, topic, cards, "AddUser"), and "Auth", which is logged, pass the connection's limits on
// messages and on bytes; the excess is dropped.
class CommandHandler
{
public:
    using Clock = RateLimiter::Clock;

    struct Limits
    {
        RateLimiter messages;
        RateLimiter bytes;
    };

    // `self` is the connection's own participant; it must outlive the handler.
    CommandHandler(Room& room, Participant& self, const Blacklist& blacklist, Limits limits, EventLog& log,
                   std::string peer, PasswordChecks passwords = {});

    void handle(std::string_view message, Clock::time_point now);

    // A password is being checked: the next message must not be handled before `answered` has run.
    bool checkingPassword() const { return m_checkingPassword; }

    // The connection is gone: a user still logged in leaves the room and the others hear of it.
    void connectionClosed();

    bool loggedIn() const { return !m_nick.empty(); }
    const std::string& nick() const { return m_nick; }

private:
    struct Command;
    static const Command kCommands[];

    void auth(std::string_view values);
    void existUser(std::string_view value);
    void getUser(std::string_view values);
    void addUser(std::string_view nick);
    void delUser(std::string_view nick);
    void textStyle(std::string_view values);
    void allUser(std::string_view values);
    void privatUser(std::string_view values);
    void stateUser(std::string_view values);
    void getIPUser(std::string_view nick);
    void topic(std::string_view text);
    void setInfo(std::string_view values);
    void getInfo(std::string_view nick);

    void checkPassword(const std::string& nick, std::string_view password);
    void passwordChecked(const std::string& nick, Accounts::Outcome outcome);
    void refuseAuth(std::string_view nick, std::string_view reason);
    // Whether `nick` has an account whose password this connection did not give.
    bool reservedForOthers(std::string_view nick) const;

    // In a cluster the nick is claimed across the nodes first; the log-in completes when the claim does.
    void claimThenJoin(std::string_view nick);
    void joinRoom(std::string_view nick);
    // A claim still under way no longer leads to a log-in.
    void abandonClaim();
    // Remembers the roster the client is told now, in place of what it was told before.
    void markRosterTold();
    void forgetRosterTold();
    void reply(std::string_view message);
    void refuseLogin(std::string_view nick, std::string_view reason);
    void leaveRoom(std::string_view reason);
    // The style field that goes before a chat message: the sender's pending style, or the default style.
    std::string takeStyle(std::string_view kind);
    void dropPendingStyle();
    // Whether the message fits the limits on messages and bytes; logs it when not.
    bool withinLimits(std::string_view message, Clock::time_point now);
    // Dropped as the normal course of things: logged only when verbose.
    void logDropped(std::string_view message, std::string_view reason);
    // False, with the sender's pending style dropped and the refusal logged, for a text longer than the
    // client's input box takes.
    bool acceptChatText(std::string_view text);
    // Dropped because no well-behaved client sends it: always logged.
    void logRefused(std::string_view message, std::string_view reason);

    Room& m_room;
    Participant& m_self;
    const Blacklist& m_blacklist;
    Limits m_limits;
    EventLog& m_log;
    std::string m_peer;
    std::string m_nick;
    bool m_claiming = false;
    // In a cluster, before the log-in: the roster as the client was last told it.
    std::optional<Room::RosterMark> m_rosterTold;
    std::uint64_t m_claimTicket = 0;
    PasswordChecks m_passwords;
    bool m_checkingPassword = false;
    // Tells the outcome of the check under way from that of a check the connection no longer waits for.
    std::uint64_t m_passwordTicket = 0;
    // What the nick whose password the connection gave reads as; empty before.
    std::string m_unlockedSkeleton;
    // The values of the last "TextStyle" after its kind (and nicks), waiting for its chat message.
    std::optional<std::string> m_pendingStyle;
    // The start of a font name refused in the last "TextStyle", to be logged with its chat message.
    std::optional<std::string> m_refusedFaceName;
};

} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_handler.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include <asio/post.hpp>

#include "commands.h"
#include "message.h"
#include "message_text.h"
#include "packet.h"

namespace kovrel::server {
namespace {

// Charset, colour, height, bold, italic, underline, strikeout; the font name follows.
constexpr int kStyleNumbers = 7;

// The client's input box takes at most this many characters (bytes in Windows-1251); a longer chat text
// comes from something else and would only load every reader's connection.
constexpr std::size_t kMaxChatTextSize = 2048;
// Font names are short; a longer one is relayed to everybody with every line of its sender.
constexpr std::size_t kMaxFaceNameSize = 64;
// As much of a refused font name as the log shows.
constexpr std::size_t kMaxLoggedFaceName = 200;

// Why a log-in under a nick with an account was refused, for the log; the client hears what it hears of
// a nick in use.
constexpr std::string_view kReserved = "nick reserved: its password was not given";

// The answer to "GetIPUser" for a nick nobody uses; the client shows it as "<nick>'s IP is ...", and "-1"
// would look to it like no answer at all.
constexpr std::string_view kUnknownAddress = "unknown (not logged in)";

// Why a password was not accepted, for the log.
std::string_view refusal(Accounts::Outcome outcome)
{
    switch (outcome) {
    case Accounts::Outcome::WrongPassword:
        return "wrong password";
    case Accounts::Outcome::NoAccount:
        return "no account for this nick";
    case Accounts::Outcome::TooManyFailures:
        return "too many wrong passwords from this address within a minute: not checked";
    case Accounts::Outcome::CheckFailed:
        return "the password could not be checked";
    case Accounts::Outcome::Accepted:
        break;
    }
    return {};
}

// The message as the log may show it: "Auth" without its password.
std::string loggable(std::string_view message)
{
    MessageValues values(message);
    if (values.next() != command::Auth) {
        return std::string(message);
    }
    return BuildMessage(command::Auth, {values.next(), "(password not logged)"});
}

// The card of a nick that never published one.
const std::string& unknownCard()
{
    static const std::string card = [] {
        std::string fields = "N/A";
        for (int i = 1; i < command::kCardFieldCount; ++i) {
            fields += "|N/A";
        }
        return fields;
    }();
    return card;
}

struct StyleValues
{
    std::string_view values;
    std::string_view faceName;
};

// The style values of a "TextStyle" message after its kind (and, for a private message, its two nicks):
// seven numbers, then the font name. Checked, because a number the client cannot convert makes it drop
// the rest of what it received. Nothing when they do not check out.
std::optional<StyleValues> styleValues(std::string_view text)
{
    MessageValues values(text);
    if (values.next() == command::PrivatUser) {
        values.next();
        values.next();
    }
    const std::string_view style = values.rest();
    for (int i = 0; i < kStyleNumbers; ++i) {
        std::int32_t number = 0;
        if (!TryParseInteger(values.next(), number)) {
            return std::nullopt;
        }
    }
    return StyleValues{style, values.rest()};
}

// Both fields of a chat message in one packet, so that the style always arrives with its line. Null when
// the message, rebuilt with the real nick, no longer fits a field.
SharedBytes encodeChat(const std::string& style, const std::string& message)
{
    if (!fitsInField(style) || !fitsInField(message)) {
        return nullptr;
    }
    return encodeShared({style, message});
}

enum class Access
{
    Anyone,
    User
};
enum class Limit
{
    Free,
    RateLimited
};

} // namespace

struct CommandHandler::Command
{
    std::string_view name;
    void (CommandHandler::*action)(std::string_view values); // null: accepted and ignored
    Access access;
    Limit limit;
};

const CommandHandler::Command CommandHandler::kCommands[] = {
    {command::Auth, &CommandHandler::auth, Access::Anyone, Limit::RateLimited},
    {command::ExistUser, &CommandHandler::existUser, Access::Anyone, Limit::Free},
    {command::GetUser, &CommandHandler::getUser, Access::Anyone, Limit::Free},
    {command::AddUser, &CommandHandler::addUser, Access::Anyone, Limit::RateLimited},
    {command::DelUser, &CommandHandler::delUser, Access::Anyone, Limit::Free},
    // The client answers our "GetNick" and keeps its connection alive with "TestConnection". Neither is
    // echoed: the client echoes every "TestConnection" it receives, so the exchange would never end.
    {command::GetNick, nullptr, Access::Anyone, Limit::Free},
    {command::TestConnection, nullptr, Access::Anyone, Limit::Free},
    {command::TextStyle, &CommandHandler::textStyle, Access::User, Limit::Free},
    {command::AllUser, &CommandHandler::allUser, Access::User, Limit::RateLimited},
    {command::PrivatUser, &CommandHandler::privatUser, Access::User, Limit::RateLimited},
    {command::StateUser, &CommandHandler::stateUser, Access::User, Limit::RateLimited},
    {command::GetIPUser, &CommandHandler::getIPUser, Access::User, Limit::Free},
    {command::Topic, &CommandHandler::topic, Access::User, Limit::RateLimited},
    {command::SetInfo, &CommandHandler::setInfo, Access::User, Limit::RateLimited},
    {command::GetInfo, &CommandHandler::getInfo, Access::User, Limit::Free},
};

CommandHandler::CommandHandler(Room& room, Participant& self, const Blacklist& blacklist, Limits limits,
                               EventLog& log, std::string peer, PasswordChecks passwords)
    : m_room(room), m_self(self), m_blacklist(blacklist), m_limits(limits), m_log(log),
      m_peer(std::move(peer)), m_passwords(std::move(passwords))
{}

void CommandHandler::handle(std::string_view message, Clock::time_point now)
{
    if (m_log.verbose()) {
        m_log.write("message", m_peer, m_nick, loggable(message));
    }
    const SplitText split = SplitFirst(message);
    const auto command = std::find_if(std::begin(kCommands), std::end(kCommands),
                                      [&](const Command& known) { return known.name == split.head; });
    if (command == std::end(kCommands) || command->action == nullptr) {
        return;
    }
    if (command->access == Access::User && !loggedIn()) {
        return;
    }
    if (command->limit == Limit::RateLimited && !withinLimits(message, now)) {
        dropPendingStyle();
        return;
    }
    (this->*command->action)(split.rest);
}

bool CommandHandler::withinLimits(std::string_view message, Clock::time_point now)
{
    if (!m_limits.messages.allow(now)) {
        logDropped(message, "over the rate limit");
        return false;
    }
    if (!m_limits.bytes.allow(now, static_cast<double>(message.size()))) {
        logDropped(message, "over the byte budget");
        return false;
    }
    return true;
}

void CommandHandler::connectionClosed()
{
    // A check under way no longer gets an answer.
    ++m_passwordTicket;
    m_checkingPassword = false;
    abandonClaim();
    if (loggedIn()) {
        leaveRoom("connection closed without DelUser");
    }
}

void CommandHandler::auth(std::string_view values)
{
    MessageValues parts(values);
    const std::string nick(parts.next());
    if (loggedIn() || m_claiming) {
        refuseAuth(nick, "after AddUser");
    } else if (!m_self.encrypted()) {
        refuseAuth(nick, "on a plain connection: the password is not looked at");
    } else if (m_passwords.accounts == nullptr) {
        refuseAuth(nick, "this server keeps no accounts (no --state or --cluster)");
    } else {
        checkPassword(nick, parts.rest());
    }
}

void CommandHandler::checkPassword(const std::string& nick, std::string_view password)
{
    // The outcome comes on another thread, maybe after the connection closed: the weak pointer and the
    // ticket tell, as for a claim.
    m_checkingPassword = true;
    const std::uint64_t ticket = ++m_passwordTicket;
    std::weak_ptr<Participant> self = m_self.shared_from_this();
    m_passwords.accounts->check(
        m_self.address(), nick, std::string(password),
        [this, self, ticket, nick, executor = m_passwords.executor](Accounts::Outcome outcome) {
            asio::post(executor, [this, self, ticket, nick, outcome] {
                if (self.lock() && ticket == m_passwordTicket) {
                    passwordChecked(nick, outcome);
                }
            });
        });
}

void CommandHandler::passwordChecked(const std::string& nick, Accounts::Outcome outcome)
{
    m_checkingPassword = false;
    if (outcome == Accounts::Outcome::Accepted) {
        m_unlockedSkeleton = nickSkeleton(nick);
        reply(BuildMessage(command::Auth, {"1"}));
        m_log.write("auth", m_peer, nick, "password accepted");
    } else {
        refuseAuth(nick, refusal(outcome));
    }
    if (m_passwords.answered) {
        m_passwords.answered();
    }
}

void CommandHandler::refuseAuth(std::string_view nick, std::string_view reason)
{
    reply(BuildMessage(command::Auth, {"0"}));
    m_log.write("refused", m_peer, nick, "Auth " + std::string(reason));
}

bool CommandHandler::reservedForOthers(std::string_view nick) const
{
    return m_passwords.accounts != nullptr && nickSkeleton(nick) != m_unlockedSkeleton &&
           m_passwords.accounts->reserved(nick);
}

void CommandHandler::existUser(std::string_view value)
{
    const auto address = parseDottedIpv4(value);
    const bool exists =
        address ? m_blacklist.contains(*address) : m_room.nickTaken(value) || reservedForOthers(value);
    reply(BuildMessage(command::ExistUser, {exists ? "1" : "-1"}));
}

void CommandHandler::getUser(std::string_view)
{
    if (m_room.link() != nullptr && !loggedIn()) {
        markRosterTold();
    }
    if (const SharedBytes list = m_room.userList()) {
        m_self.deliver(list);
    }
}

void CommandHandler::addUser(std::string_view nick)
{
    if (loggedIn() || m_claiming) {
        logDropped(nick, "already logged in");
    } else if (!isValidNick(nick)) {
        refuseLogin(nick, "invalid nick");
    } else if (m_room.nickTaken(nick)) {
        refuseLogin(nick, "nick in use");
    } else if (reservedForOthers(nick)) {
        refuseLogin(nick, kReserved);
    } else if (m_room.link() != nullptr) {
        claimThenJoin(nick);
    } else {
        joinRoom(nick);
    }
}

void CommandHandler::claimThenJoin(std::string_view nick)
{
    // The reply may come after the connection closed or the client logged out: the ticket tells, and the
    // session kept alive by the weak pointer's owner is still there to ask.
    m_claiming = true;
    if (!m_rosterTold) {
        markRosterTold();
    }
    const std::uint64_t ticket = ++m_claimTicket;
    std::weak_ptr<Participant> self = m_self.shared_from_this();
    RoomLink& link = *m_room.link();
    link.claimNick(
        nick, m_self.address(), [this, self, ticket, &link, nick = std::string(nick)](RoomLink::Claim claim) {
            const std::shared_ptr<Participant> alive = self.lock();
            if (!alive || ticket != m_claimTicket) {
                if (claim == RoomLink::Claim::Granted) {
                    link.releaseNick(nick);
                }
                return;
            }
            m_claiming = false;
            // Not a member while the claim was under way, the client heard nothing of who came and went.
            const SharedBytes missed = m_room.missedSince(*m_rosterTold);
            forgetRosterTold();
            if (claim == RoomLink::Claim::Granted && reservedForOthers(nick)) {
                // An account came (or was first read, in a cluster) while the claim was under way.
                link.releaseNick(nick);
                refuseLogin(nick, kReserved);
            } else if (claim == RoomLink::Claim::Granted) {
                if (missed) {
                    m_self.deliver(missed);
                }
                joinRoom(nick);
            } else {
                refuseLogin(nick, claim == RoomLink::Claim::Taken ? "nick in use on another thread or node"
                                                                  : "cluster unreachable, log-ins refused");
            }
        });
}

void CommandHandler::joinRoom(std::string_view nick)
{
    if (!m_room.join(m_self.shared_from_this(), nick)) {
        if (m_room.link()) {
            m_room.link()->releaseNick(nick);
        }
        refuseLogin(nick, "nick in use");
        return;
    }
    m_nick = nick;
    m_log.write("login", m_peer, m_nick);
}

void CommandHandler::delUser(std::string_view nick)
{
    if (loggedIn()) {
        leaveRoom({});
    } else {
        abandonClaim();
        // A refused client logs out too and waits for its "DelUser"; nobody else hears of it.
        reply(BuildMessage(command::DelUser, {nick}));
    }
}

void CommandHandler::textStyle(std::string_view values)
{
    dropPendingStyle();
    const std::optional<StyleValues> style = styleValues(values);
    if (style && style->faceName.size() > kMaxFaceNameSize) {
        // Logged when its chat line goes, so that the chat limits bound the log lines too.
        m_refusedFaceName = std::string(style->faceName.substr(0, kMaxLoggedFaceName));
    } else if (style) {
        m_pendingStyle = std::string(style->values);
    }
}

void CommandHandler::allUser(std::string_view values)
{
    // Whatever sender the message names, it goes out under the real one.
    const std::string_view text = SplitFirst(values).rest;
    if (!acceptChatText(text)) {
        return;
    }
    const std::string message = BuildMessage(command::AllUser, {m_nick, text});
    if (const SharedBytes bytes = encodeChat(takeStyle(command::AllUser), message)) {
        m_room.announceChat(bytes);
    } else {
        logDropped(message, "too long");
    }
}

void CommandHandler::privatUser(std::string_view values)
{
    MessageValues parts(values);
    parts.next(); // the claimed sender: the real one goes out
    const std::string_view addressee = parts.next();
    const std::string_view body = parts.rest();
    if (!acceptChatText(body)) {
        return;
    }
    const Room::Member* recipient = m_room.find(addressee);
    const std::string to = recipient ? recipient->nick : std::string(addressee);
    const std::string message = BuildMessage(command::PrivatUser, {m_nick, to, body});
    const SharedBytes bytes = encodeChat(takeStyle(BuildMessage(command::PrivatUser, {m_nick, to})), message);
    if (!bytes) {
        logDropped(message, "too long");
        return;
    }
    // The sender sees its own line only from this echo.
    m_self.deliver(bytes);
    if (recipient && recipient->participant.get() != &m_self) {
        m_room.deliverTo(*recipient, bytes);
    } else if (!recipient && isValidNick(addressee)) {
        // The message is not kept. The sender's roster still shows the addressee: tell it that it is gone.
        reply(BuildMessage(command::DelUser, {addressee}));
    }
}

void CommandHandler::stateUser(std::string_view values)
{
    const std::string_view code = SplitFirst(values).rest;
    if (code.size() != 1 || code.front() < '0' || code.front() > '3') {
        logDropped(code, "unknown state");
        return;
    }
    m_room.setState(m_self, code.front() - '0');
}

void CommandHandler::getIPUser(std::string_view nick)
{
    const Room::Member* member = m_room.find(nick);
    reply(BuildMessage(command::GetIPUser, {member ? member->address : kUnknownAddress}));
}

void CommandHandler::topic(std::string_view text)
{
    if (!m_room.setTopic(text)) {
        logDropped(text, "topic too long");
    }
}

void CommandHandler::setInfo(std::string_view values)
{
    // Kept under the real nick, whatever nick the message names.
    const std::string_view fields = SplitFirst(values).rest;
    if (m_room.publishCard(m_nick, fields, m_self.address()) == CardBook::Outcome::TooLong) {
        logDropped(fields, "card too long");
    }
}

void CommandHandler::getInfo(std::string_view nick)
{
    const Room::Member* member = m_room.find(nick);
    const Card* card = m_room.findCard(nick);
    const std::string_view shownNick = member ? member->nick : card ? card->nick : nick;
    reply(BuildMessage(command::GetInfo, {shownNick, card ? card->fields : unknownCard()}));
}

void CommandHandler::abandonClaim()
{
    ++m_claimTicket;
    m_claiming = false;
    forgetRosterTold();
}

void CommandHandler::markRosterTold()
{
    forgetRosterTold();
    m_rosterTold = m_room.markRoster();
}

void CommandHandler::forgetRosterTold()
{
    if (m_rosterTold) {
        m_room.forgetMark(*std::exchange(m_rosterTold, std::nullopt));
    }
}

void CommandHandler::reply(std::string_view message)
{
    if (fitsInField(message)) {
        m_self.deliver(encodeShared({message}));
    } else {
        logDropped(message, "reply too long");
    }
}

void CommandHandler::refuseLogin(std::string_view nick, std::string_view reason)
{
    // The client logs out when told to disconnect.
    reply(BuildMessage(command::Disconnect));
    m_log.write("refused", m_peer, nick, reason);
}

void CommandHandler::leaveRoom(std::string_view reason)
{
    m_room.leave(m_self);
    m_log.write("logout", m_peer, m_nick, reason);
    m_nick.clear();
    dropPendingStyle();
}

std::string CommandHandler::takeStyle(std::string_view kind)
{
    if (m_refusedFaceName) {
        logRefused(*m_refusedFaceName,
                   "face name longer than " + std::to_string(kMaxFaceNameSize) + " bytes");
    }
    std::string style = m_pendingStyle ? BuildMessage(command::TextStyle, {kind, *m_pendingStyle})
                                       : BuildMessage(command::ClearTextStyle);
    dropPendingStyle();
    return style;
}

void CommandHandler::dropPendingStyle()
{
    m_pendingStyle.reset();
    m_refusedFaceName.reset();
}

bool CommandHandler::acceptChatText(std::string_view text)
{
    if (text.size() <= kMaxChatTextSize) {
        return true;
    }
    dropPendingStyle();
    logRefused(text, "chat text longer than " + std::to_string(kMaxChatTextSize) + " characters");
    return false;
}

void CommandHandler::logRefused(std::string_view message, std::string_view reason)
{
    m_log.write("refused", m_peer, m_nick, std::string(reason) + ": " + std::string(message));
}

void CommandHandler::logDropped(std::string_view message, std::string_view reason)
{
    if (m_log.verbose()) {
        m_log.write("dropped", m_peer, m_nick, std::string(reason) + ": " + std::string(message));
    }
}

} // namespace kovrel::server

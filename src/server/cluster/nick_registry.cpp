// SPDX-License-Identifier: GPL-3.0-or-later
#include "nick_registry.h"

#include <utility>
#include <vector>

#include "cluster_fields.h"
#include "cp1251.h"
#include "message_text.h"

namespace kovrel::server {
namespace {

// Sets the claim (KEYS[1] := ARGV[1], expiring in ARGV[3] ms) unless another node holds it; ARGV[2] is
// the holder's prefix. 1 when set.
constexpr std::string_view kRefreshScript = R"(
local held = redis.call('GET', KEYS[1])
if held == false or string.sub(held, 1, #ARGV[2]) == ARGV[2] then
  redis.call('SET', KEYS[1], ARGV[1], 'PX', ARGV[3])
  return 1
end
return 0)";

// Deletes the claim KEYS[1] if this node (prefix ARGV[1]) holds it.
constexpr std::string_view kReleaseScript = R"(
local held = redis.call('GET', KEYS[1])
if held and string.sub(held, 1, #ARGV[1]) == ARGV[1] then
  return redis.call('DEL', KEYS[1])
end
return 0)";

// Every claim matching ARGV[1]: one read of the whole registry.
constexpr std::string_view kRegistryScript = R"(
local claims = {}
for _, key in ipairs(redis.call('KEYS', ARGV[1])) do
  local value = redis.call('GET', key)
  if value then claims[#claims + 1] = value end
end
return claims)";

constexpr std::string_view kNickKeyPrefix = "kovrel:nick:";

struct RegistryEntry
{
    std::string node;
    std::string nick;
    std::string address;
    int state = 0;
};

RegistryEntry parseEntry(std::string_view value)
{
    RegistryEntry claim;
    claim.node = takeField(value);
    claim.nick = takeField(value);
    claim.address = takeField(value);
    claim.state = parseState(takeField(value));
    return claim;
}

std::string nickKey(std::string_view nick)
{
    return std::string(kNickKeyPrefix) + nickSkeleton(nick);
}

} // namespace

NickRegistry::NickRegistry(RedisConnection& commands, LocalRooms& rooms, const std::string& nodeId,
                           std::chrono::milliseconds presenceTtl, EventLog& log)
    : m_commands(commands), m_rooms(rooms), m_id(nodeId), m_ttl(std::to_string(presenceTtl.count())),
      m_log(log)
{}

void NickRegistry::claim(std::string_view nick, std::string_view address, RoomLink::ClaimDone done)
{
    const std::string key = nickKey(nick);
    const std::string value = claimValue(nick, address, 0);
    const bool sent =
        m_commands.command({"SET", key, value, "NX", "PX", m_ttl}, [done](const RedisReply& reply) {
            if (reply.kind == RedisReply::Kind::Text) {
                done(RoomLink::Claim::Granted);
            } else {
                done(reply.kind == RedisReply::Kind::Nil ? RoomLink::Claim::Taken
                                                         : RoomLink::Claim::Unavailable);
            }
        });
    if (!sent) {
        done(RoomLink::Claim::Unavailable);
    }
}

void NickRegistry::release(std::string_view nick)
{
    const std::string key = nickKey(nick);
    const std::string holder = m_id + kFieldSeparator;
    m_commands.command({"EVAL", kReleaseScript, "1", key, holder});
}

void NickRegistry::joined(std::string_view nick, std::string_view address)
{
    m_members[cp1251::toLowerCase(nick)] = {{}, std::string(nick), std::string(address), 0};
}

void NickRegistry::stateChanged(std::string_view nick, std::string_view address, int state)
{
    const auto member = m_members.find(cp1251::toLowerCase(nick));
    if (member != m_members.end() && member->second.node.empty()) {
        member->second.state = state;
    }
    writeClaim(nick, address, state);
}

void NickRegistry::left(std::string_view nick)
{
    const auto member = m_members.find(cp1251::toLowerCase(nick));
    if (member != m_members.end() && member->second.node.empty()) {
        m_members.erase(member);
    }
    release(nick);
}

void NickRegistry::writeClaim(std::string_view nick, std::string_view address, int state)
{
    const std::string key = nickKey(nick);
    const std::string value = claimValue(nick, address, state);
    const std::string holder = m_id + kFieldSeparator;
    m_commands.command({"EVAL", kRefreshScript, "1", key, value, holder, m_ttl},
                       [this, nick = std::string(nick)](const RedisReply& reply) {
                           if (reply.kind == RedisReply::Kind::Integer && reply.integer == 0) {
                               m_log.write("cluster", m_id, nick,
                                           "nick held by another node since Redis lost it");
                           }
                       });
}

void NickRegistry::refresh()
{
    for (const auto& [key, member] : m_members) {
        if (member.node.empty()) {
            writeClaim(member.nick, member.address, member.state);
        }
    }
    readRegistry();
}

void NickRegistry::readRegistry()
{
    const std::string pattern = std::string(kNickKeyPrefix) + "*";
    const std::uint64_t asked = m_news;
    m_commands.command({"EVAL", kRegistryScript, "0", pattern},
                       [this, asked](const RedisReply& reply) { registryRead(reply, asked); });
}

void NickRegistry::registryRead(const RedisReply& reply, std::uint64_t asked)
{
    if (reply.kind != RedisReply::Kind::Array) {
        return;
    }
    const auto newerThanSnapshot = [&](const std::string& key) {
        const auto news = m_lastNews.find(key);
        return news != m_lastNews.end() && news->second > asked;
    };
    std::unordered_map<std::string, RegistryEntry> remote;
    for (const RedisReply& value : reply.elements) {
        RegistryEntry claim = parseEntry(value.text);
        if (claim.node != m_id && isValidNick(claim.nick)) {
            remote.emplace(cp1251::toLowerCase(claim.nick), std::move(claim));
        }
    }
    std::vector<Member> gone;
    for (const auto& [key, member] : m_members) {
        if (!member.node.empty() && !remote.contains(key) && !newerThanSnapshot(key)) {
            gone.push_back(member);
        }
    }
    for (const Member& member : gone) {
        removeRemote(member.node, member.nick);
    }
    for (const auto& [key, claim] : remote) {
        if (!newerThanSnapshot(key)) {
            placeRemote(claim.node, claim.nick, claim.address, claim.state);
        }
    }
    std::erase_if(m_lastNews, [asked](const auto& news) { return news.second <= asked; });
    if (!m_rosterRead) {
        m_rosterRead = true;
        m_log.write("cluster", m_id, {},
                    "roster read: " + std::to_string(remote.size()) + " users on other nodes");
    }
}

void NickRegistry::placeRemote(std::string_view node, std::string_view nick, std::string_view address,
                               int state)
{
    Member& member = m_members[cp1251::toLowerCase(nick)];
    if (!member.nick.empty() && member.node.empty()) {
        return; // a member of this node: its claim decides
    }
    member = {std::string(node), std::string(nick), std::string(address), state};
    m_rooms.placeRemote(node, nick, address, state);
}

void NickRegistry::removeRemote(std::string_view node, std::string_view nick)
{
    const auto member = m_members.find(cp1251::toLowerCase(nick));
    if (member != m_members.end() && member->second.node == node) {
        m_members.erase(member);
        m_rooms.removeRemote(node, nick);
    }
}

void NickRegistry::received(std::string_view kind, std::string_view node, std::string_view rest)
{
    const std::string_view nick = takeField(rest);
    if (!isValidNick(nick) || node.empty()) {
        return;
    }
    // Newer than any snapshot of the registry still to come.
    m_lastNews[cp1251::toLowerCase(nick)] = ++m_news;
    if (kind == "join") {
        placeRemote(node, nick, rest, 0);
    } else if (kind == "state") {
        m_rooms.setRemoteState(node, nick, parseState(rest));
    } else if (kind == "leave") {
        removeRemote(node, nick);
    }
}

std::string NickRegistry::claimValue(std::string_view nick, std::string_view address, int state) const
{
    std::string value = m_id;
    value.append(1, kFieldSeparator).append(nick).append(1, kFieldSeparator).append(address);
    value.append(1, kFieldSeparator).append(std::to_string(state));
    return value;
}

} // namespace kovrel::server

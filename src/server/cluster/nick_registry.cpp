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

NickRegistry::NickRegistry(RedisConnection& commands, Room& room, const std::string& nodeId,
                           std::chrono::milliseconds presenceTtl, EventLog& log)
    : m_commands(commands), m_room(room), m_id(nodeId), m_ttl(std::to_string(presenceTtl.count())), m_log(log)
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
    for (const Room::Member& member : m_room.members()) {
        if (member.participant) {
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
    std::vector<std::string> gone;
    for (const Room::Member& member : m_room.members()) {
        if (!member.participant && !remote.contains(member.key) && !newerThanSnapshot(member.key)) {
            gone.push_back(member.nick);
        }
    }
    for (const std::string& nick : gone) {
        m_room.removeRemote(nick);
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
    const Room::Member* member = m_room.find(nick);
    if (member != nullptr && member->participant) {
        return; // a member of this node: its claim decides
    }
    if (member != nullptr && member->node != node) {
        // Logged in again on another node after its first node died.
        m_room.removeRemote(nick);
        member = nullptr;
    }
    if (member == nullptr) {
        m_room.addRemote(node, nick, address, state);
    } else {
        m_room.setRemoteState(nick, state);
    }
}

void NickRegistry::noted(std::string_view nick)
{
    m_lastNews[cp1251::toLowerCase(nick)] = ++m_news;
}

std::string NickRegistry::claimValue(std::string_view nick, std::string_view address, int state) const
{
    std::string value = m_id;
    value.append(1, kFieldSeparator).append(nick).append(1, kFieldSeparator).append(address);
    value.append(1, kFieldSeparator).append(std::to_string(state));
    return value;
}

} // namespace kovrel::server

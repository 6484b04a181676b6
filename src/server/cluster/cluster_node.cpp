#include "cluster_node.h"

#include <charconv>
#include <cstdio>
#include <optional>
#include <random>
#include <utility>
#include <vector>

#include "cp1251.h"
#include "message_text.h"

namespace kovrel::server {
namespace {

constexpr char kSeparator = '\n'; // never in a nick, an address, a node name or an event kind

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
constexpr std::string_view kTopicKey = "kovrel:topic";
// A hash: each card's key, its value the card as cardText() writes it.
constexpr std::string_view kCardsKey = "kovrel:cards";

std::string randomNodeId()
{
    std::random_device device;
    const std::uint64_t value = (std::uint64_t{device()} << 32) | device();
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

// Splits off the text before the first separator.
std::string_view takeField(std::string_view& text)
{
    const std::size_t end = text.find(kSeparator);
    const std::string_view field = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    return field;
}

int parseState(std::string_view text)
{
    return text.size() == 1 && text[0] >= '0' && text[0] <= '3' ? text[0] - '0' : 0;
}

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

// The key, nick, address, refresh time and order, then the fields (which may hold line breaks) to the end.
std::string cardText(const StoredCard& stored)
{
    std::string text = stored.key;
    for (const std::string& field : {stored.card.nick, stored.card.address,
                                     std::to_string(stored.card.refreshed), std::to_string(stored.order)}) {
        text.append(1, kSeparator).append(field);
    }
    return text.append(1, kSeparator).append(stored.card.fields);
}

std::optional<StoredCard> parseCard(std::string_view text)
{
    StoredCard stored;
    stored.key = takeField(text);
    stored.card.nick = takeField(text);
    stored.card.address = takeField(text);
    const std::string_view refreshed = takeField(text);
    const std::string_view order = takeField(text);
    stored.card.fields = text;
    const bool numbers =
        std::from_chars(refreshed.data(), refreshed.data() + refreshed.size(), stored.card.refreshed).ec ==
            std::errc() &&
        std::from_chars(order.data(), order.data() + order.size(), stored.order).ec == std::errc();
    if (!numbers || stored.key.empty() || stored.key != cp1251::toLowerCase(stored.card.nick)) {
        return std::nullopt;
    }
    return stored;
}

} // namespace

ClusterNode::ClusterNode(asio::io_context& io, Room& room, ClusterSettings settings, EventLog& log)
    : m_room(room), m_settings(std::move(settings)), m_log(log), m_id(randomNodeId()),
      m_roomChannel("kovrel:" + std::to_string(m_settings.redis.database) + ":room"),
      m_nodeChannel("kovrel:" + std::to_string(m_settings.redis.database) + ":node:" + m_id),
      m_commands(io, m_settings.redis, m_id + "/commands", log),
      m_channels(io, m_settings.redis, m_id + "/channels", log), m_refresh(io)
{
    m_commands.onStateChange([this](bool) { connectionChanged(); });
    m_channels.onStateChange([this](bool up) {
        if (up) {
            m_channels.subscribe({m_roomChannel, m_nodeChannel});
        }
        connectionChanged();
    });
    m_channels.onMessage(
        [this](std::string_view channel, std::string_view payload) { received(channel, payload); });
}

void ClusterNode::start()
{
    m_log.write("cluster", m_id, {},
                "joining through " + m_settings.redis.text() + "; log-ins are refused until it answers");
    m_commands.start();
    m_channels.start();
    refreshEvery();
}

void ClusterNode::finish()
{
    m_finished = true;
    m_refresh.cancel();
    m_commands.finish();
    m_channels.finish();
}

void ClusterNode::stop()
{
    m_finished = true;
    m_refresh.cancel();
    m_commands.stop();
    m_channels.stop();
}

void ClusterNode::connectionChanged()
{
    const bool now = ready();
    if (m_finished || now == m_wasReady) {
        return;
    }
    m_wasReady = now;
    m_rosterRead = false;
    if (!now) {
        m_log.write(
            "cluster", m_id, {},
            "Redis unreachable: new log-ins are refused, the users connected here are served locally");
        return;
    }
    m_log.write("cluster", m_id, {}, "Redis reachable: log-ins accepted");
    if (m_unpublished > m_unpublishedLogged) {
        m_log.write("cluster", m_id, {},
                    std::to_string(m_unpublished - m_unpublishedLogged) +
                        " messages were not published while Redis was unreachable; " +
                        std::to_string(m_unpublished) + " in all");
        m_unpublishedLogged = m_unpublished;
    }
    caughtUp();
}

void ClusterNode::caughtUp()
{
    refreshClaims();
    readRegistry();
    loadTopic();
    // What changed here while Redis was away goes first, so that what is read back includes it.
    writeCardsChangedMeanwhile();
    loadCards();
}

void ClusterNode::refreshEvery()
{
    m_refresh.expires_after(m_settings.presenceTtl / 3);
    m_refresh.async_wait([this](std::error_code ec) {
        if (ec) {
            return;
        }
        if (ready()) {
            refreshClaims();
            readRegistry();
        }
        refreshEvery();
    });
}

void ClusterNode::refreshClaims()
{
    for (const Room::Member& member : m_room.members()) {
        if (member.participant) {
            writeClaim(member.nick, member.address, member.state);
        }
    }
}

void ClusterNode::writeClaim(std::string_view nick, std::string_view address, int state)
{
    const std::string key = nickKey(nick);
    const std::string value = claimValue(nick, address, state);
    const std::string holder = m_id + kSeparator;
    const std::string ttl = std::to_string(m_settings.presenceTtl.count());
    m_commands.command({"EVAL", kRefreshScript, "1", key, value, holder, ttl},
                       [this, nick = std::string(nick)](const RedisReply& reply) {
                           if (reply.kind == RedisReply::Kind::Integer && reply.integer == 0) {
                               m_log.write("cluster", m_id, nick,
                                           "nick held by another node since Redis lost it");
                           }
                       });
}

void ClusterNode::readRegistry()
{
    const std::string pattern = std::string(kNickKeyPrefix) + "*";
    const std::uint64_t asked = m_news;
    m_commands.command({"EVAL", kRegistryScript, "0", pattern},
                       [this, asked](const RedisReply& reply) { registryRead(reply, asked); });
}

void ClusterNode::registryRead(const RedisReply& reply, std::uint64_t asked)
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

void ClusterNode::placeRemote(std::string_view node, std::string_view nick, std::string_view address,
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

void ClusterNode::loadTopic()
{
    if (m_topicUnsaved) {
        // Set here while Redis was away: newer than what Redis holds.
        topicChanged(m_room.topic());
        return;
    }
    m_commands.command({"GET", kTopicKey}, [this](const RedisReply& reply) {
        if (reply.kind == RedisReply::Kind::Text) {
            m_room.applyTopic(reply.text);
        } else if (reply.kind == RedisReply::Kind::Nil && !m_room.topic().empty()) {
            // Set here while Redis was away, or Redis started empty.
            m_commands.command({"SET", kTopicKey, m_room.topic()});
        }
    });
}

void ClusterNode::loadCards()
{
    m_commands.command({"HGETALL", kCardsKey}, [this](const RedisReply& reply) {
        // Field names and values alternate.
        for (std::size_t i = 1; i < reply.elements.size(); i += 2) {
            if (const std::optional<StoredCard> card = parseCard(reply.elements[i].text)) {
                m_room.restoreCard(*card);
            }
        }
    });
}

void ClusterNode::cardStored(const StoredCard& card)
{
    const std::string text = cardText(card);
    keepInRedis({"HSET", kCardsKey, card.key, text}, [this, key = card.key] { m_cardsUnsaved.insert(key); });
    publish(m_roomChannel, "card", text);
}

void ClusterNode::cardRemoved(const std::string& key)
{
    keepInRedis({"HDEL", kCardsKey, key}, [this, key] { m_cardsUnsaved.insert(key); });
    publish(m_roomChannel, "uncard", key);
}

void ClusterNode::writeCardsChangedMeanwhile()
{
    if (m_cardsUnsaved.empty()) {
        return;
    }
    const std::set<std::string> keys = std::exchange(m_cardsUnsaved, {});
    m_log.write("cluster", m_id, {},
                std::to_string(keys.size()) + " cards changed while Redis was unreachable are written now");
    for (const StoredCard& card : m_room.keptState().cards) {
        if (keys.contains(card.key)) {
            cardStored(card);
        }
    }
    for (const std::string& key : keys) {
        if (m_room.findCard(key) == nullptr) {
            cardRemoved(key);
        }
    }
}

void ClusterNode::keepInRedis(const std::vector<std::string_view>& command, std::function<void()> unsaved)
{
    const bool sent = ready() && m_commands.command(command, [unsaved](const RedisReply& reply) {
        if (!reply.ok()) {
            unsaved();
        }
    });
    if (!sent) {
        unsaved();
    }
}

void ClusterNode::claimNick(std::string_view nick, std::string_view address, ClaimDone done)
{
    const std::string key = nickKey(nick);
    const std::string value = claimValue(nick, address, 0);
    const std::string ttl = std::to_string(m_settings.presenceTtl.count());
    const bool sent =
        ready() && m_commands.command({"SET", key, value, "NX", "PX", ttl}, [done](const RedisReply& reply) {
            if (reply.kind == RedisReply::Kind::Text) {
                done(Claim::Granted);
            } else {
                done(reply.kind == RedisReply::Kind::Nil ? Claim::Taken : Claim::Unavailable);
            }
        });
    if (!sent) {
        done(Claim::Unavailable);
    }
}

void ClusterNode::releaseNick(std::string_view nick)
{
    const std::string key = nickKey(nick);
    const std::string holder = m_id + kSeparator;
    m_commands.command({"EVAL", kReleaseScript, "1", key, holder});
}

void ClusterNode::joined(std::string_view nick, std::string_view address)
{
    publish(m_roomChannel, "join", std::string(nick) + kSeparator + std::string(address));
}

void ClusterNode::left(std::string_view nick)
{
    releaseNick(nick);
    publish(m_roomChannel, "leave", nick);
}

void ClusterNode::stateChanged(std::string_view nick, std::string_view address, int state)
{
    writeClaim(nick, address, state);
    publish(m_roomChannel, "state", std::string(nick) + kSeparator + std::to_string(state));
}

void ClusterNode::topicChanged(std::string_view topic)
{
    m_topicUnsaved = false;
    keepInRedis({"SET", kTopicKey, topic}, [this] { m_topicUnsaved = true; });
    publish(m_roomChannel, "topic", topic);
}

void ClusterNode::chatSent(const SharedBytes& bytes)
{
    publish(m_roomChannel, "chat", *bytes);
}

void ClusterNode::privateSent(std::string_view node, std::string_view nick, const SharedBytes& bytes)
{
    const std::string channel =
        "kovrel:" + std::to_string(m_settings.redis.database) + ":node:" + std::string(node);
    publish(channel, "private", std::string(nick) + kSeparator + *bytes);
}

void ClusterNode::publish(const std::string& channel, std::string_view kind, std::string_view rest)
{
    std::string payload;
    payload.reserve(kind.size() + m_id.size() + rest.size() + 2);
    payload.append(kind).append(1, kSeparator).append(m_id).append(1, kSeparator).append(rest);
    const bool sent =
        m_commands.command({"PUBLISH", channel, payload}, [this, kind](const RedisReply& reply) {
            if (!reply.ok()) {
                unpublished(kind);
            }
        });
    if (!sent) {
        unpublished(kind);
    }
}

void ClusterNode::unpublished(std::string_view kind)
{
    ++m_unpublished;
    if (m_unpublished == m_unpublishedLogged + 1 || m_unpublished % 1000 == 0) {
        m_log.write("unpublished", m_id, {},
                    "a " + std::string(kind) + " message could not be published (Redis unreachable); " +
                        std::to_string(m_unpublished - m_unpublishedLogged) + " since it went away");
    }
}

void ClusterNode::received(std::string_view channel, std::string_view payload)
{
    const std::string_view kind = takeField(payload);
    const std::string_view node = takeField(payload);
    if (node == m_id) {
        return; // delivered here when it was sent
    }
    if (channel == m_nodeChannel && kind == "private") {
        privateReceived(payload);
    } else if (channel == m_roomChannel) {
        roomEvent(kind, node, payload);
    }
}

void ClusterNode::roomEvent(std::string_view kind, std::string_view node, std::string_view rest)
{
    if (kind == "chat") {
        // Encoded once by the sending node, shared by every recipient here.
        m_room.broadcast(std::make_shared<const std::string>(rest));
        return;
    }
    if (kind == "topic") {
        m_room.applyTopic(rest);
        return;
    }
    if (kind == "card") {
        if (const std::optional<StoredCard> card = parseCard(rest)) {
            m_room.restoreCard(*card);
        }
        return;
    }
    if (kind == "uncard") {
        m_room.forgetCard(std::string(rest));
        return;
    }
    const std::string_view nick = takeField(rest);
    if (!isValidNick(nick)) {
        return;
    }
    noted(nick);
    if (kind == "join") {
        placeRemote(node, nick, rest, 0);
    } else if (kind == "state") {
        m_room.setRemoteState(nick, parseState(rest));
    } else if (const Room::Member* member = m_room.find(nick);
               kind == "leave" && member && member->node == node) {
        m_room.removeRemote(nick);
    }
}

void ClusterNode::privateReceived(std::string_view rest)
{
    const std::string_view nick = takeField(rest);
    const Room::Member* member = m_room.find(nick);
    if (member != nullptr && member->participant) {
        member->participant->deliver(std::make_shared<const std::string>(rest));
    }
}

void ClusterNode::noted(std::string_view nick)
{
    m_lastNews[cp1251::toLowerCase(nick)] = ++m_news;
}

std::string ClusterNode::nickKey(std::string_view nick) const
{
    return std::string(kNickKeyPrefix) + nickSkeleton(nick);
}

std::string ClusterNode::claimValue(std::string_view nick, std::string_view address, int state) const
{
    std::string value = m_id;
    value.append(1, kSeparator).append(nick).append(1, kSeparator).append(address);
    value.append(1, kSeparator).append(std::to_string(state));
    return value;
}

} // namespace kovrel::server

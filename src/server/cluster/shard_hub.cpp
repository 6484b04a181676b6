// SPDX-License-Identifier: GPL-3.0-or-later
#include "shard_hub.h"

#include <charconv>

#include <asio/post.hpp>

#include "message_text.h"

namespace kovrel::server {
namespace {

std::string nodeName(std::size_t shard)
{
    return std::to_string(shard);
}

// Removes the member of another thread or node if `node` holds it.
void removeHeldBy(Room& room, std::string_view node, std::string_view nick)
{
    const Room::Member* member = room.find(nick);
    if (member != nullptr && member->node == node) {
        room.removeRemote(nick);
    }
}

void deliverHere(const Room& room, std::string_view nick, const SharedBytes& bytes)
{
    const Room::Member* member = room.find(nick);
    if (member != nullptr && member->participant) {
        member->participant->deliver(bytes);
    }
}

} // namespace

// What a thread's room tells the others.
class ShardHub::Link : public RoomLink
{
public:
    Link(ShardHub& hub, std::size_t shard) : m_hub(hub), m_shard(shard) {}

    void claimNick(std::string_view nick, std::string_view address, ClaimDone done) override
    {
        m_hub.claim(m_shard, nick, address, std::move(done));
    }
    void releaseNick(std::string_view nick) override { m_hub.release(m_shard, nick); }
    void joined(std::string_view nick, std::string_view address) override
    {
        m_hub.joined(m_shard, nick, address);
    }
    void left(std::string_view nick) override { m_hub.left(m_shard, nick); }
    void stateChanged(std::string_view nick, std::string_view address, int state) override
    {
        m_hub.stateChanged(m_shard, nick, address, state);
    }
    void topicChanged(std::string_view topic) override { m_hub.topicChanged(m_shard, topic); }
    void chatSent(const SharedBytes& bytes) override { m_hub.chatSent(m_shard, bytes); }
    void privateSent(std::string_view node, std::string_view nick, const SharedBytes& bytes) override
    {
        m_hub.privateSent(node, nick, bytes);
    }

private:
    ShardHub& m_hub;
    std::size_t m_shard;
};

// Where a thread's room reports its card changes. A room reports the topic as kept even when another
// thread set it; the topic's news go through the link, which hears of it only where it was set.
class ShardHub::Mirror : public KeptStateSink
{
public:
    Mirror(ShardHub& hub, std::size_t shard) : m_hub(hub), m_shard(shard) {}

    void topicChanged(std::string_view) override {}
    void cardStored(const StoredCard& card) override { m_hub.cardStored(m_shard, card); }
    void cardRemoved(const std::string& key) override { m_hub.cardRemoved(m_shard, key); }

private:
    ShardHub& m_hub;
    std::size_t m_shard;
};

ShardHub::ShardHub(KeptStateSink* store) : m_store(store) {}

ShardHub::~ShardHub() = default;

void ShardHub::attach(asio::io_context& io, Room& room)
{
    const std::size_t shard = m_shards.size();
    m_shards.push_back(
        {&io, &room, std::make_unique<Link>(*this, shard), std::make_unique<Mirror>(*this, shard)});
    room.setLink(m_shards.back().link.get());
    room.setKeptStateSink(m_shards.back().mirror.get());
}

template <typename News> void ShardHub::tell(std::size_t shard, News news)
{
    asio::post(*m_shards[shard].io, [room = m_shards[shard].room, news = std::move(news)] { news(*room); });
}

template <typename News> void ShardHub::tellOthers(std::size_t from, const News& news)
{
    for (std::size_t shard = 0; shard < m_shards.size(); ++shard) {
        if (shard != from) {
            tell(shard, news);
        }
    }
}

std::size_t ShardHub::threadNamed(std::string_view node) const
{
    std::size_t shard = 0;
    const auto [end, error] = std::from_chars(node.data(), node.data() + node.size(), shard);
    const bool named = error == std::errc() && end == node.data() + node.size() && shard < m_shards.size() &&
                       nodeName(shard) == node;
    return named ? shard : m_shards.size();
}

void ShardHub::claim(std::size_t shard, std::string_view nick, std::string_view address,
                     RoomLink::ClaimDone done)
{
    std::unique_lock lock(m_mutex);
    const bool granted = m_claims.try_emplace(nickSkeleton(nick), shard).second;
    if (granted && m_cluster != nullptr) {
        // Under the lock, so that the node hears of a nick given back before it is claimed again.
        m_cluster->claimNick(nick, address,
                             [this, shard, nick = std::string(nick), done](RoomLink::Claim claim) {
                                 claimed(shard, nick, claim, done);
                             });
        return;
    }
    lock.unlock();
    // Outside the lock: the log-in it completes tells the hub of the arrival.
    done(granted ? RoomLink::Claim::Granted : RoomLink::Claim::Taken);
}

void ShardHub::claimed(std::size_t shard, const std::string& nick, RoomLink::Claim claim,
                       RoomLink::ClaimDone done)
{
    if (claim != RoomLink::Claim::Granted) {
        const std::lock_guard lock(m_mutex);
        dropClaim(shard, nick);
    }
    tell(shard, [claim, done = std::move(done)](Room&) { done(claim); });
}

void ShardHub::release(std::size_t shard, std::string_view nick)
{
    const std::lock_guard lock(m_mutex);
    if (dropClaim(shard, nick) && m_cluster != nullptr) {
        m_cluster->releaseNick(nick);
    }
}

bool ShardHub::dropClaim(std::size_t shard, std::string_view nick)
{
    const auto claim = m_claims.find(nickSkeleton(nick));
    if (claim == m_claims.end() || claim->second != shard) {
        return false;
    }
    m_claims.erase(claim);
    return true;
}

void ShardHub::joined(std::size_t shard, std::string_view nick, std::string_view address)
{
    const std::lock_guard lock(m_mutex);
    tellOthers(shard, [node = nodeName(shard), nick = std::string(nick), address = std::string(address)](
                          Room& room) { room.addRemote(node, nick, address, 0); });
    if (m_cluster != nullptr) {
        m_cluster->joined(nick, address);
    }
}

void ShardHub::left(std::size_t shard, std::string_view nick)
{
    const std::lock_guard lock(m_mutex);
    dropClaim(shard, nick);
    tellOthers(shard, [node = nodeName(shard), nick = std::string(nick)](Room& room) {
        removeHeldBy(room, node, nick);
    });
    if (m_cluster != nullptr) {
        m_cluster->left(nick);
    }
}

void ShardHub::stateChanged(std::size_t shard, std::string_view nick, std::string_view address, int state)
{
    const std::lock_guard lock(m_mutex);
    tellOthers(shard, [nick = std::string(nick), state](Room& room) { room.setRemoteState(nick, state); });
    if (m_cluster != nullptr) {
        m_cluster->stateChanged(nick, address, state);
    }
}

void ShardHub::topicChanged(std::size_t shard, std::string_view topic)
{
    const std::lock_guard lock(m_mutex);
    if (m_store != nullptr) {
        m_store->topicChanged(topic);
    }
    tellOthers(shard, [topic = std::string(topic)](Room& room) { room.applyTopic(topic); });
    if (m_cluster != nullptr) {
        m_cluster->topicChanged(topic);
    }
}

void ShardHub::chatSent(std::size_t shard, const SharedBytes& bytes)
{
    // Encoded once by the sending thread, shared by every recipient, published once for the process.
    // Nothing about the nicks changes, so the lock is not needed: each thread's news reach another thread,
    // and the cluster node, in the order they were posted.
    tellOthers(shard, [bytes](Room& room) { room.broadcast(bytes); });
    if (m_cluster != nullptr) {
        m_cluster->chatSent(bytes);
    }
}

void ShardHub::privateSent(std::string_view node, std::string_view nick, const SharedBytes& bytes)
{
    if (const std::size_t shard = threadNamed(node); shard < m_shards.size()) {
        tell(shard, [nick = std::string(nick), bytes](Room& room) { deliverHere(room, nick, bytes); });
    } else if (m_cluster != nullptr) {
        m_cluster->privateSent(node, nick, bytes);
    }
}

void ShardHub::cardStored(std::size_t shard, const StoredCard& card)
{
    const std::lock_guard lock(m_mutex);
    if (m_store != nullptr) {
        m_store->cardStored(card);
    }
    tellOthers(shard, [card](Room& room) { room.restoreCard(card); });
}

void ShardHub::cardRemoved(std::size_t shard, const std::string& key)
{
    const std::lock_guard lock(m_mutex);
    if (m_store != nullptr) {
        m_store->cardRemoved(key);
    }
    tellOthers(shard, [key](Room& room) { room.forgetCard(key); });
}

void ShardHub::broadcast(const SharedBytes& bytes)
{
    tellAll([bytes](Room& room) { room.broadcast(bytes); });
}

void ShardHub::deliver(std::string_view nick, const SharedBytes& bytes)
{
    const std::lock_guard lock(m_mutex);
    if (const auto claim = m_claims.find(nickSkeleton(nick)); claim != m_claims.end()) {
        tell(claim->second,
             [nick = std::string(nick), bytes](Room& room) { deliverHere(room, nick, bytes); });
    }
}

void ShardHub::placeRemote(std::string_view node, std::string_view nick, std::string_view address, int state)
{
    tellAll([this, node = std::string(node), nick = std::string(nick), address = std::string(address),
             state](Room& room) {
        const Room::Member* member = room.find(nick);
        if (member != nullptr && (member->participant || threadNamed(member->node) < m_shards.size())) {
            return; // a member of this process: its claim decides
        }
        if (member != nullptr && member->node != node) {
            // Logged in again on another node after its first node died.
            room.removeRemote(nick);
            member = nullptr;
        }
        if (member == nullptr) {
            room.addRemote(node, nick, address, state);
        } else {
            room.setRemoteState(nick, state);
        }
    });
}

void ShardHub::removeRemote(std::string_view node, std::string_view nick)
{
    tellAll(
        [node = std::string(node), nick = std::string(nick)](Room& room) { removeHeldBy(room, node, nick); });
}

void ShardHub::setRemoteState(std::string_view node, std::string_view nick, int state)
{
    tellAll([node = std::string(node), nick = std::string(nick), state](Room& room) {
        const Room::Member* member = room.find(nick);
        if (member != nullptr && member->node == node) {
            room.setRemoteState(nick, state);
        }
    });
}

void ShardHub::applyTopic(std::string_view topic)
{
    tellAll([topic = std::string(topic)](Room& room) { room.applyTopic(topic); });
}

void ShardHub::restoreCard(const StoredCard& card)
{
    tellAll([card](Room& room) { room.restoreCard(card); });
}

void ShardHub::forgetCard(const std::string& key)
{
    tellAll([key](Room& room) { room.forgetCard(key); });
}

} // namespace kovrel::server

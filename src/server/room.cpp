// SPDX-License-Identifier: GPL-3.0-or-later
#include "room.h"

#include <algorithm>
#include <string>

#include "commands.h"
#include "cp1251.h"
#include "message.h"
#include "message_text.h"
#include "packet.h"

namespace kovrel::server {
namespace {

auto isParticipant(const Participant& participant)
{
    return [&participant](const Room::Member& member) { return member.participant.get() == &participant; };
}

} // namespace

void Room::setKeptStateSink(KeptStateSink* sink)
{
    m_sink = sink;
    m_cards.setSink(sink);
}

bool Room::join(const ParticipantPtr& participant, std::string_view nick)
{
    if (nickTaken(nick) || find(*participant) != nullptr) {
        return false;
    }
    m_members.push_back({participant,
                         {},
                         participant->address(),
                         std::string(nick),
                         cp1251::toLowerCase(nick),
                         nickSkeleton(nick)});
    m_cards.refresh(nick, Card::Clock::now());
    m_userList.reset();
    broadcast(encodeShared({BuildMessage(command::AddUser, {nick})}));
    if (m_link) {
        m_link->joined(nick, participant->address());
    }
    return true;
}

bool Room::addRemote(std::string_view node, std::string_view nick, std::string_view address, int state)
{
    if (nickTaken(nick)) {
        return false;
    }
    m_members.push_back({nullptr, std::string(node), std::string(address), std::string(nick),
                         cp1251::toLowerCase(nick), nickSkeleton(nick), state});
    m_userList.reset();
    broadcast(encodeShared({BuildMessage(command::AddUser, {nick})}));
    if (state != 0) {
        announceState(m_members.back());
    }
    return true;
}

void Room::removeRemote(std::string_view nick)
{
    const Member* member = findMember(nick);
    if (member == nullptr || member->participant) {
        return;
    }
    broadcast(encodeShared({BuildMessage(command::DelUser, {member->nick})}));
    m_members.erase(m_members.begin() + (member - m_members.data()));
    m_userList.reset();
}

void Room::setRemoteState(std::string_view nick, int state)
{
    Member* member = findMember(nick);
    if (member == nullptr || member->participant || member->state == state) {
        return;
    }
    member->state = state;
    m_userList.reset();
    announceState(*member);
}

void Room::leave(const Participant& participant)
{
    const auto member = std::find_if(m_members.begin(), m_members.end(), isParticipant(participant));
    if (member == m_members.end()) {
        return;
    }
    broadcast(encodeShared({BuildMessage(command::DelUser, {member->nick})}));
    if (m_link) {
        m_link->left(member->nick);
    }
    m_members.erase(member);
    m_userList.reset();
}

bool Room::nickTaken(std::string_view nick) const
{
    const std::string skeleton = nickSkeleton(nick);
    return std::any_of(m_members.begin(), m_members.end(),
                       [&](const Member& member) { return member.skeleton == skeleton; });
}

const Room::Member* Room::find(std::string_view nick) const
{
    const std::string key = cp1251::toLowerCase(nick);
    const auto member =
        std::find_if(m_members.begin(), m_members.end(), [&](const Member& m) { return m.key == key; });
    return member == m_members.end() ? nullptr : &*member;
}

const Room::Member* Room::find(const Participant& participant) const
{
    const auto member = std::find_if(m_members.begin(), m_members.end(), isParticipant(participant));
    return member == m_members.end() ? nullptr : &*member;
}

Room::Member* Room::findMember(std::string_view nick)
{
    return const_cast<Member*>(find(nick));
}

Room::Member* Room::findMember(const Participant& participant)
{
    const auto member = std::find_if(m_members.begin(), m_members.end(), isParticipant(participant));
    return member == m_members.end() ? nullptr : &*member;
}

void Room::broadcast(const SharedBytes& bytes) const
{
    for (const Member& member : m_members) {
        if (member.participant) {
            member.participant->deliver(bytes);
        }
    }
}

void Room::announceChat(const SharedBytes& bytes) const
{
    broadcast(bytes);
    if (m_link) {
        m_link->chatSent(bytes);
    }
}

void Room::deliverTo(const Member& member, const SharedBytes& bytes) const
{
    if (member.participant) {
        member.participant->deliver(bytes);
    } else if (m_link) {
        m_link->privateSent(member.node, member.nick, bytes);
    }
}

void Room::setState(const Participant& participant, int state)
{
    Member* member = findMember(participant);
    if (member == nullptr) {
        return;
    }
    member->state = state;
    m_userList.reset();
    announceState(*member);
    if (m_link) {
        m_link->stateChanged(member->nick, member->address, state);
    }
}

void Room::announceState(const Member& member)
{
    broadcast(encodeShared({BuildMessage(command::StateUser, {member.nick, std::to_string(member.state)})}));
}

bool Room::setTopic(std::string_view topic)
{
    if (topic.size() > kMaxTopicSize) {
        return false;
    }
    keepTopic(topic);
    broadcast(encodeShared({BuildMessage(command::Topic, {topic})}));
    if (m_link) {
        m_link->topicChanged(topic);
    }
    return true;
}

void Room::applyTopic(std::string_view topic)
{
    if (topic.size() <= kMaxTopicSize && topic != m_topic) {
        keepTopic(topic);
        broadcast(encodeShared({BuildMessage(command::Topic, {topic})}));
    }
}

void Room::keepTopic(std::string_view topic)
{
    if (topic != m_topic) {
        m_topic = topic;
        m_userList.reset();
        if (m_sink) {
            m_sink->topicChanged(m_topic);
        }
    }
}

CardBook::Outcome Room::publishCard(std::string_view nick, std::string_view fields, std::string_view address)
{
    return m_cards.publish(nick, fields, address, Card::Clock::now());
}

SharedBytes Room::userList()
{
    if (m_userList || (m_members.empty() && m_topic.empty())) {
        return m_userList;
    }
    std::string packet;
    for (const Member& member : m_members) {
        AppendFramedField(packet, BuildMessage(command::GetUser, {member.nick}));
    }
    for (const Member& member : m_members) {
        if (member.state != 0) {
            AppendFramedField(packet,
                              BuildMessage(command::StateUser, {member.nick, std::to_string(member.state)}));
        }
    }
    if (!m_topic.empty()) {
        AppendFramedField(packet, BuildMessage(command::Topic, {m_topic}));
    }
    m_userList = std::make_shared<const std::string>(std::move(packet));
    return m_userList;
}

std::vector<std::string> Room::nicks() const
{
    std::vector<std::string> nicks;
    for (const Member& member : m_members) {
        nicks.push_back(member.nick);
    }
    return nicks;
}

SharedBytes Room::missedSince(const std::vector<std::string>& before) const
{
    std::string packet;
    for (const std::string& nick : before) {
        if (find(nick) == nullptr) {
            AppendFramedField(packet, BuildMessage(command::DelUser, {nick}));
        }
    }
    for (const Member& member : m_members) {
        const bool known = std::any_of(before.begin(), before.end(), [&](const std::string& nick) {
            return cp1251::toLowerCase(nick) == member.key;
        });
        if (known) {
            continue;
        }
        AppendFramedField(packet, BuildMessage(command::AddUser, {member.nick}));
        if (member.state != 0) {
            AppendFramedField(packet,
                              BuildMessage(command::StateUser, {member.nick, std::to_string(member.state)}));
        }
    }
    return packet.empty() ? nullptr : std::make_shared<const std::string>(std::move(packet));
}

StoredState Room::keptState() const
{
    return {m_topic, m_cards.cards()};
}

void Room::restore(const StoredState& state)
{
    m_topic = state.topic.substr(0, kMaxTopicSize);
    for (const StoredCard& card : state.cards) {
        m_cards.restore(card);
    }
    m_userList.reset();
}

} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
#include "room.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "commands.h"
#include "cp1251.h"
#include "message.h"
#include "message_text.h"
#include "packet.h"

namespace kovrel::server {
namespace {

SharedBytes announcement(std::string_view command, std::string_view nick)
{
    return encodeShared({BuildMessage(command, {nick})});
}

void appendState(std::string& packet, const Room::Member& member)
{
    AppendFramedField(packet, BuildMessage(command::StateUser, {member.nick, std::to_string(member.state)}));
}

} // namespace

void Room::setKeptStateSink(KeptStateSink* sink)
{
    m_sink = sink;
    m_cards.setSink(sink);
}

Room::Member& Room::add(Member member)
{
    member.listed.clear();
    AppendFramedField(member.listed, BuildMessage(command::GetUser, {member.nick}));
    member.joinedAt = ++m_rosterVersion;
    const auto added = m_members.insert(m_members.end(), std::move(member));
    m_byKey.emplace(added->key, added);
    m_bySkeleton.emplace(added->skeleton, added);
    if (added->participant) {
        m_byParticipant.emplace(added->participant.get(), added);
    }
    m_userList.reset();
    broadcast(announcement(command::AddUser, added->nick));
    return *added;
}

void Room::remove(MemberList::iterator member)
{
    broadcast(announcement(command::DelUser, member->nick));
    const RosterMark leftAt = ++m_rosterVersion;
    if (!m_marks.empty()) {
        m_departures.push_back({leftAt, member->joinedAt, member->nick});
    }
    m_byKey.erase(member->key);
    m_bySkeleton.erase(member->skeleton);
    m_byParticipant.erase(member->participant.get());
    m_members.erase(member);
    m_userList.reset();
}

bool Room::join(const ParticipantPtr& participant, std::string_view nick)
{
    if (nickTaken(nick) || find(*participant) != nullptr) {
        return false;
    }
    add({participant,
         {},
         participant->address(),
         std::string(nick),
         cp1251::toLowerCase(nick),
         nickSkeleton(nick)});
    m_cards.refresh(nick, Card::Clock::now());
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
    const Member& member = add({nullptr, std::string(node), std::string(address), std::string(nick),
                                cp1251::toLowerCase(nick), nickSkeleton(nick), state});
    if (state != 0) {
        announceState(member);
    }
    return true;
}

void Room::removeRemote(std::string_view nick)
{
    const auto member = m_byKey.find(cp1251::toLowerCase(nick));
    if (member != m_byKey.end() && !member->second->participant) {
        remove(member->second);
    }
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
    const auto member = m_byParticipant.find(&participant);
    if (member == m_byParticipant.end()) {
        return;
    }
    const std::string nick = member->second->nick;
    remove(member->second);
    if (m_link) {
        m_link->left(nick);
    }
}

bool Room::nickTaken(std::string_view nick) const
{
    return m_bySkeleton.contains(nickSkeleton(nick));
}

const Room::Member* Room::find(std::string_view nick) const
{
    const auto member = m_byKey.find(cp1251::toLowerCase(nick));
    return member == m_byKey.end() ? nullptr : &*member->second;
}

const Room::Member* Room::find(const Participant& participant) const
{
    const auto member = m_byParticipant.find(&participant);
    return member == m_byParticipant.end() ? nullptr : &*member->second;
}

Room::Member* Room::findMember(std::string_view nick)
{
    return const_cast<Member*>(find(nick));
}

Room::Member* Room::findMember(const Participant& participant)
{
    return const_cast<Member*>(find(participant));
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
    std::string packet;
    appendState(packet, member);
    broadcast(std::make_shared<const std::string>(std::move(packet)));
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
        packet += member.listed;
    }
    for (const Member& member : m_members) {
        if (member.state != 0) {
            appendState(packet, member);
        }
    }
    if (!m_topic.empty()) {
        AppendFramedField(packet, BuildMessage(command::Topic, {m_topic}));
    }
    m_userList = std::make_shared<const std::string>(std::move(packet));
    return m_userList;
}

Room::RosterMark Room::markRoster()
{
    m_marks.insert(m_rosterVersion);
    return m_rosterVersion;
}

void Room::forgetMark(RosterMark mark)
{
    if (const auto found = m_marks.find(mark); found != m_marks.end()) {
        m_marks.erase(found);
    }
    // Departures before every mark still in use are of no more interest.
    while (!m_departures.empty() && (m_marks.empty() || m_departures.front().leftAt <= *m_marks.begin())) {
        m_departures.pop_front();
    }
}

SharedBytes Room::missedSince(RosterMark mark) const
{
    std::string packet;
    const auto firstLeftAfter = std::find_if(m_departures.begin(), m_departures.end(),
                                             [mark](const Departure& gone) { return gone.leftAt > mark; });
    for (auto gone = firstLeftAfter; gone != m_departures.end(); ++gone) {
        if (gone->joinedAt <= mark) {
            AppendFramedField(packet, BuildMessage(command::DelUser, {gone->nick}));
        }
    }
    // Members are listed in the order they came: those come since the mark are at the end.
    auto firstNew = m_members.end();
    while (firstNew != m_members.begin() && std::prev(firstNew)->joinedAt > mark) {
        --firstNew;
    }
    for (auto member = firstNew; member != m_members.end(); ++member) {
        AppendFramedField(packet, BuildMessage(command::AddUser, {member->nick}));
        if (member->state != 0) {
            appendState(packet, *member);
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

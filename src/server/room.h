// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>

#include "card_book.h"
#include "kept_state.h"
#include "participant.h"
#include "room_link.h"

namespace kovrel::server {

// The one conversation of the server: who is logged in (in the order they came), their states, the topic
// and the cards; every announcement goes to every member. Nicks are unique without regard to letter case
// and to look-alike letters: no two members' nicks read the same. Members are indexed by nick, by what
// their nick reads as and by participant, so that a room of thousands finds any of them at once.
//
// In a cluster, and in a server of several threads, the room also lists the members of the other nodes or
// threads (with no participant here) and tells its link of everything its own members do; what comes from
// the others goes to its own members.
class Room
{
public:
    struct Member
    {
        ParticipantPtr participant; // null for a member of another node or thread
        std::string node;           // the node or thread that holds such a member
        std::string address;
        std::string nick;
        std::string key;      // the nick in lower case
        std::string skeleton; // what the nick reads as
        int state = 0;
        std::string listed{};       // the member's "GetUser", framed for the user list
        std::uint64_t joinedAt = 0; // the roster's version when the member came
    };

    // A version of the roster, remembered for a client that was told it (see markRoster()).
    using RosterMark = std::uint64_t;

    static constexpr std::size_t kMaxTopicSize = 1024;

    Room() = default;
    explicit Room(CardBook::Limits cardLimits) : m_cards(cardLimits) {}

    // Told of every change of the topic and the cards, so that they can be saved; null: nobody is.
    void setKeptStateSink(KeptStateSink* sink);
    // The other nodes of a cluster; null for a standalone room.
    void setLink(RoomLink* link) { m_link = link; }
    RoomLink* link() const { return m_link; }

    // Admits the participant under `nick`, refreshes its card and announces it ("AddUser") to everyone, the
    // newcomer included.
    // False, and nothing sent, when the nick is taken.
    bool join(const ParticipantPtr& participant, std::string_view nick);

    // True when a member's nick reads the same as `nick`.
    bool nickTaken(std::string_view nick) const;

    // Announces the departure ("DelUser") to everyone, the leaving member included (its client waits for
    // it to finish logging out), then removes the member.
    void leave(const Participant& participant);

    const Member* find(std::string_view nick) const;
    const Member* find(const Participant& participant) const;
    std::size_t size() const { return m_members.size(); }

    // Sends to every member of this node.
    void broadcast(const SharedBytes& bytes) const;
    // A chat message for everybody: to the members of this node and to the other nodes.
    void announceChat(const SharedBytes& bytes) const;
    // A private message: to the member, wherever it is.
    void deliverTo(const Member& member, const SharedBytes& bytes) const;

    // What the other nodes report. A member of another node whose nick reads as one here is not added.
    bool addRemote(std::string_view node, std::string_view nick, std::string_view address, int state);
    void removeRemote(std::string_view nick);
    void setRemoteState(std::string_view nick, int state);
    // Keeps the topic set on another node or thread and announces it to the members here when it changed.
    void applyTopic(std::string_view topic);

    // Keeps the member's state (0-3) and announces it.
    void setState(const Participant& participant, int state);

    const std::string& topic() const { return m_topic; }
    // Keeps the topic (an empty one clears it) and announces it. False when longer than kMaxTopicSize.
    bool setTopic(std::string_view topic);

    // The card of `nick`, published from `address`.
    CardBook::Outcome publishCard(std::string_view nick, std::string_view fields, std::string_view address);
    const Card* findCard(std::string_view nick) const { return m_cards.find(nick); }
    // Removes the cards whose owners have not been seen for their lifetime.
    void expireCards() { m_cards.expire(Card::Clock::now()); }

    // The reply to "GetUser": one "GetUser" per member, "StateUser" for every state but 0, then "Topic" when
    // there is one; null when there is nothing to say. Built once per change of the room.
    SharedBytes userList();

    // The roster as it stands now, for a client that has just been told it. The room keeps track of who
    // leaves from then on, until forgetMark(), so that missedSince() can tell.
    RosterMark markRoster();
    void forgetMark(RosterMark mark);
    // What a client told the roster at `mark` missed while its log-in was under way: "DelUser" for the
    // members gone since, "AddUser" (and "StateUser" but for state 0) for those come. Null when nothing.
    SharedBytes missedSince(RosterMark mark) const;

    StoredState keptState() const;
    // Takes the kept state back without reporting it to the sink.
    void restore(const StoredState& state);
    // A card stored or removed on another node or thread; not reported to the sink.
    void restoreCard(const StoredCard& card) { m_cards.restore(card); }
    void forgetCard(const std::string& key) { m_cards.forget(key); }

private:
    using MemberList = std::list<Member>;

    struct Departure
    {
        RosterMark leftAt;
        RosterMark joinedAt;
        std::string nick;
    };

    Member* findMember(const Participant& participant);
    Member* findMember(std::string_view nick);
    // Lists, indexes and announces a member whose nick is free.
    Member& add(Member member);
    void remove(MemberList::iterator member);
    void keepTopic(std::string_view topic);
    void announceState(const Member& member);

    MemberList m_members;
    std::unordered_map<std::string, MemberList::iterator> m_byKey;
    std::unordered_map<std::string, MemberList::iterator> m_bySkeleton;
    std::unordered_map<const Participant*, MemberList::iterator> m_byParticipant;
    RosterMark m_rosterVersion = 0;
    // The marks still in use, and who left since the oldest of them.
    std::multiset<RosterMark> m_marks;
    std::deque<Departure> m_departures;
    std::string m_topic;
    CardBook m_cards;
    SharedBytes m_userList;
    KeptStateSink* m_sink = nullptr;
    RoomLink* m_link = nullptr;
};

} // namespace kovrel::server

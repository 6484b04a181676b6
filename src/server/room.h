#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "card_book.h"
#include "participant.h"
#include "state_file.h"

namespace kovrel::server {

// The one conversation of the server: who is logged in (in the order they came), their states, the topic
// and the cards; every announcement goes to every member. Nicks are unique without regard to letter case
// and to look-alike letters: no two members' nicks read the same.
class Room
{
public:
    struct Member
    {
        ParticipantPtr participant;
        std::string nick;
        std::string key;      // the nick in lower case
        std::string skeleton; // what the nick reads as
        int state = 0;
    };

    static constexpr std::size_t kMaxTopicSize = 1024;

    // Runs whenever the topic or a card changes, so that they can be saved.
    void onKeptStateChanged(std::function<void()> callback) { m_keptStateChanged = std::move(callback); }

    // Admits the participant under `nick` and announces it ("AddUser") to everyone, the newcomer included.
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

    void broadcast(const SharedBytes& bytes) const;

    // Keeps the member's state (0-3) and announces it.
    void setState(const Participant& participant, int state);

    const std::string& topic() const { return m_topic; }
    // Keeps the topic (an empty one clears it) and announces it. False when longer than kMaxTopicSize.
    bool setTopic(std::string_view topic);

    CardBook::Outcome publishCard(std::string_view nick, std::string_view fields);
    const Card* findCard(std::string_view nick) const { return m_cards.find(nick); }

    // The reply to "GetUser": one "GetUser" per member, "StateUser" for every state but 0, then "Topic" when
    // there is one; null when there is nothing to say. Built once per change of the room.
    SharedBytes userList();

    KeptState keptState() const;
    void restore(const KeptState& state);

private:
    Member* findMember(const Participant& participant);
    void keptStateChanged();

    std::vector<Member> m_members;
    std::string m_topic;
    CardBook m_cards;
    SharedBytes m_userList;
    std::function<void()> m_keptStateChanged;
};

} // namespace kovrel::server

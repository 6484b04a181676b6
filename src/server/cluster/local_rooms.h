// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

#include "kept_state.h"
#include "participant.h"

namespace kovrel::server {

// The rooms of this process as the cluster node tells them what the other nodes do. A process serving on
// several threads has a room on each; whatever the node says reaches every one of them, each on its own
// thread. A member of this process is never replaced by one the other nodes report.
class LocalRooms
{
public:
    virtual ~LocalRooms() = default;

    // A chat line from another node, framed and enciphered as the clients receive it.
    virtual void broadcast(const SharedBytes& bytes) = 0;
    // A private message for `nick`, a member of this process.
    virtual void deliver(std::string_view nick, const SharedBytes& bytes) = 0;
    // Adds the member of node `node`, or updates its state; one of another node under that nick goes.
    virtual void placeRemote(std::string_view node, std::string_view nick, std::string_view address,
                             int state) = 0;
    // Removes the member if node `node` holds it.
    virtual void removeRemote(std::string_view node, std::string_view nick) = 0;
    virtual void setRemoteState(std::string_view node, std::string_view nick, int state) = 0;
    virtual void applyTopic(std::string_view topic) = 0;
    virtual void restoreCard(const StoredCard& card) = 0;
    virtual void forgetCard(const std::string& key) = 0;
};

} // namespace kovrel::server

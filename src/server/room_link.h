// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "participant.h"

namespace kovrel::server {

// The other nodes of a cluster as a room sees them: it asks them for nicks and tells them of everything
// its own members do. A standalone room has none.
class RoomLink
{
public:
    enum class Claim
    {
        Granted,
        Taken,
        Unavailable // the cluster cannot be asked now
    };
    using ClaimDone = std::function<void(Claim)>;

    virtual ~RoomLink() = default;

    // Reserves the nick for a member of this node across the cluster; `done` may run before this returns.
    virtual void claimNick(std::string_view nick, std::string_view address, ClaimDone done) = 0;
    // Gives back a nick claimed for a log-in that did not happen after all.
    virtual void releaseNick(std::string_view nick) = 0;

    virtual void joined(std::string_view nick, std::string_view address) = 0;
    // Also gives the nick back.
    virtual void left(std::string_view nick) = 0;
    virtual void stateChanged(std::string_view nick, std::string_view address, int state) = 0;
    virtual void topicChanged(std::string_view topic) = 0;
    // A chat message for everybody, framed and enciphered as the clients receive it.
    virtual void chatSent(const SharedBytes& bytes) = 0;
    // A private message for `nick`, a member of node `node`.
    virtual void privateSent(std::string_view node, std::string_view nick, const SharedBytes& bytes) = 0;
};

} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

namespace kovrel::server {

// Framed bytes shared by every recipient of one message: a broadcast is encoded once and queued by reference.
using SharedBytes = std::shared_ptr<const std::string>;

// One connected client as the room and the command handling see it: a session in the server, a fake in
// the tests.
class Participant : public std::enable_shared_from_this<Participant>
{
public:
    virtual ~Participant() = default;

    // Queues bytes for sending. Never blocks and never calls back into the room, so the room may call it
    // while it walks its members.
    virtual void deliver(const SharedBytes& bytes) = 0;

    // The peer's address as this server sees it (dotted IPv4 for IPv4 peers).
    virtual const std::string& address() const = 0;

    // Whether the connection is encrypted (TLS), so that a password may travel on it.
    virtual bool encrypted() const = 0;
};

using ParticipantPtr = std::shared_ptr<Participant>;

} // namespace kovrel::server

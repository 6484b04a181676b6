// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "packet_reader.h"
#include "participant.h"

namespace kovrel::server::test {

// Keeps what the room and the command handling hand to a connection, and decodes it as a client would.
class FakeParticipant : public Participant
{
public:
    explicit FakeParticipant(std::string address = "192.168.1.10", bool encrypted = false)
        : m_address(std::move(address)), m_encrypted(encrypted)
    {}

    void deliver(const SharedBytes& bytes) override { m_deliveries.push_back(bytes); }
    const std::string& address() const override { return m_address; }
    bool encrypted() const override { return m_encrypted; }

    const std::vector<SharedBytes>& deliveries() const { return m_deliveries; }

    // Every field delivered since the last call, decoded.
    std::vector<std::string> takeFields()
    {
        PacketReader reader;
        for (const SharedBytes& bytes : m_deliveries) {
            reader.feed(*bytes);
        }
        m_deliveries.clear();
        return reader.takeFields(reader.queuedFields());
    }

private:
    std::string m_address;
    bool m_encrypted;
    std::vector<SharedBytes> m_deliveries;
};

inline std::shared_ptr<FakeParticipant> makeParticipant(std::string address = "192.168.1.10",
                                                        bool encrypted = false)
{
    return std::make_shared<FakeParticipant>(std::move(address), encrypted);
}

} // namespace kovrel::server::test

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "field_cipher.h"

namespace kovrel {

// Turns a TCP byte stream back into whole fields, however the sender's writes were cut into reads.
// A framed field split across reads is kept until its rest arrives; whole fields wait in a queue until
// taken, so none is dropped when a read holds more than one batch. A length prefix that is not five
// decimal digits means the stream is out of step: whatever was buffered is dropped and reading starts
// afresh with the next read. The buffer never holds more than one unfinished field and one read.
class PacketReader
{
public:
    // Turns the encoded bytes of one whole field into its text: DecodeField, or a function that caches
    // its results (a load generator whose clients all receive the same broadcast bytes).
    using Decoder = std::string (*)(std::string_view encoded);

    explicit PacketReader(Decoder decode = DecodeField) : m_decode(decode) {}

    struct FeedResult
    {
        std::size_t fieldsCompleted = 0;
        bool outOfStep = false;
        std::size_t bytesDropped = 0;
    };

    // Takes the bytes of one read.
    FeedResult feed(std::string_view bytes);

    bool hasFields() const { return !m_fields.empty(); }
    std::size_t queuedFields() const { return m_fields.size(); }

    // Takes up to `maxFields` decoded fields, oldest first.
    std::vector<std::string> takeFields(std::size_t maxFields);

    // Bytes of a framed field still waiting for its end; non-zero when a stream stops mid-field.
    std::size_t unfinishedBytes() const { return m_pending.size(); }

private:
    Decoder m_decode;
    std::string m_pending;
    std::deque<std::string> m_fields;
};

} // namespace kovrel

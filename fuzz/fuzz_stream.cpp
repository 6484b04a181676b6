// SPDX-License-Identifier: GPL-3.0-or-later
// The stream reader and the field codec: any byte stream, cut into reads anywhere, gives whole fields (or an
// out-of-step report), and what they decode to goes back through the encoder unchanged.
//
// Input: the first byte chooses where the stream is cut into reads; the rest is the stream.

#include "des.h"
#include "field_cipher.h"
#include "packet.h"
#include "packet_reader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using kovrel::PacketReader;
using Fields = std::vector<std::string>;

void check(bool holds)
{
    if (!holds) {
        std::abort();
    }
}

struct ReadOutcome
{
    Fields fields;
    bool outOfStep = false;
};

// Feeds the stream in reads of `readSize` bytes (all at once when 0), as a socket would hand it over.
ReadOutcome readStream(std::string_view stream, std::size_t readSize)
{
    PacketReader reader;
    ReadOutcome outcome;
    const std::size_t step = readSize == 0 ? stream.size() + 1 : readSize;
    for (std::size_t at = 0; at < stream.size(); at += step) {
        outcome.outOfStep |= reader.feed(stream.substr(at, step)).outOfStep;
    }
    outcome.fields = reader.takeFields(reader.queuedFields());
    check(!reader.hasFields());
    return outcome;
}

// Whether the text holds, at a block boundary, the one block the format cannot carry.
bool holdsUncarriedBlock(std::string_view text)
{
    const std::string_view uncarried(kovrel::kUncarriedBlock, kovrel::kDesBlockSize);
    for (std::size_t at = 0; at + uncarried.size() <= text.size(); at += kovrel::kDesBlockSize) {
        if (text.substr(at, uncarried.size()) == uncarried) {
            return true;
        }
    }
    return false;
}

// Decoded text holds no zero byte: the decoder ends each block's text at its first zero.
void checkCodecRoundTrip(const std::string& text)
{
    check(text.find('\0') == std::string::npos);
    if (text.size() <= kovrel::kMaxFieldTextSize && !holdsUncarriedBlock(text)) {
        const std::string encoded = kovrel::EncodeField(text);
        check(encoded.size() == kovrel::EncodedFieldSize(text.size()));
        check(encoded.find('\0') == std::string::npos);
        check(kovrel::DecodeField(encoded) == text);
    }
}

// Fields framed again read back the same, by the stateless parser and by the stream reader.
void checkFramingRoundTrip(const Fields& fields)
{
    if (fields.empty() || fields.size() > kovrel::kMaxFieldsPerRead ||
        std::any_of(fields.begin(), fields.end(), holdsUncarriedBlock)) {
        return;
    }
    const std::string packet = kovrel::BuildPacket(fields);
    check(kovrel::ParsePacket(packet) == fields);
    const ReadOutcome reread = readStream(packet, 7);
    check(!reread.outOfStep);
    check(reread.fields == fields);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const std::size_t readSize = data[0];
    const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);

    const ReadOutcome whole = readStream(stream, 0);
    const ReadOutcome inReads = readStream(stream, readSize);
    // Out of step, the reader starts afresh with the next read, so where reads end matters; in step it
    // must not.
    if (!whole.outOfStep && !inReads.outOfStep) {
        check(whole.fields == inReads.fields);
    }
    for (const std::string& field : whole.fields) {
        checkCodecRoundTrip(field);
    }
    checkFramingRoundTrip(whole.fields);
    kovrel::ParsePacket(stream);
    if (stream.find('\0') == std::string_view::npos) {
        checkCodecRoundTrip(std::string(stream));
    }
    return 0;
}

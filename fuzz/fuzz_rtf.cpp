// SPDX-License-Identifier: GPL-3.0-or-later
// The RTF reader: any file gives a document no longer than itself (RTF or plain text), and the writer
// takes whatever the reader gives.

#include "rtf_document.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void check(bool holds)
{
    if (!holds) {
        std::abort();
    }
}

std::size_t textLength(const kovrel::rtf::Document& document)
{
    std::size_t length = 0;
    for (const kovrel::rtf::Line& line : document.lines) {
        for (const kovrel::rtf::Run& run : line.runs) {
            length += static_cast<std::size_t>(run.text.size());
        }
    }
    return length;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const kovrel::rtf::Document document = kovrel::rtf::ReadDocument(bytes);
    // Each character and each line comes from at least one byte of the file.
    check(document.lines.size() <= size);
    check(textLength(document) <= size);
    kovrel::rtf::WriteRtf(document);
    return 0;
}

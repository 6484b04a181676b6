// SPDX-License-Identifier: GPL-3.0-or-later
#include "state_file.h"

#include <charconv>
#include <fstream>
#include <iterator>

namespace kovrel::server {
namespace {

constexpr std::string_view kHeader = "kovrel-state 1\n";

// Reads the records one after the other; every step either succeeds or throws with the offending offset.
class RecordReader
{
public:
    explicit RecordReader(std::string_view text) : m_text(text), m_rest(text) {}

    bool atEnd() const { return m_rest.empty(); }

    void expect(std::string_view literal)
    {
        if (!m_rest.starts_with(literal)) {
            fail("expected \"" + std::string(literal.substr(0, literal.find('\n'))) + "\"");
        }
        m_rest.remove_prefix(literal.size());
    }

    std::string_view word()
    {
        const std::size_t end = m_rest.find_first_of(" \n");
        if (end == 0 || end == std::string_view::npos) {
            fail("expected a word");
        }
        const std::string_view taken = m_rest.substr(0, end);
        m_rest.remove_prefix(end);
        return taken;
    }

    std::size_t size()
    {
        const std::string_view digits = word();
        std::size_t value = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (ec != std::errc() || end != digits.data() + digits.size()) {
            fail("expected a byte count");
        }
        return value;
    }

    std::string bytes(std::size_t count)
    {
        if (count > m_rest.size()) {
            fail("the file ends inside a record");
        }
        std::string taken(m_rest.substr(0, count));
        m_rest.remove_prefix(count);
        return taken;
    }

    [[noreturn]] void fail(const std::string& what) const
    {
        throw StateFileError(what + " at byte " + std::to_string(m_text.size() - m_rest.size()));
    }

private:
    std::string_view m_text;
    std::string_view m_rest;
};

} // namespace

KeptState loadKeptState(const std::filesystem::path& file)
{
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
        return {};
    }
    std::ifstream in(file, std::ios::binary);
    const std::string content(std::istreambuf_iterator<char>(in), {});
    if (!in.is_open() || in.bad()) {
        throw StateFileError("cannot read state file " + file.string());
    }
    try {
        return parseKeptState(content);
    } catch (const StateFileError& error) {
        throw StateFileError("state file " + file.string() + ": " + error.what());
    }
}

std::string serializeKeptState(const KeptState& state)
{
    std::string text(kHeader);
    text += "topic " + std::to_string(state.topic.size()) + '\n' + state.topic + '\n';
    for (const Card& card : state.cards) {
        text += "card " + std::to_string(card.nick.size()) + ' ' + std::to_string(card.fields.size()) + '\n';
        text += card.nick + card.fields + '\n';
    }
    return text;
}

KeptState parseKeptState(std::string_view text)
{
    if (text.empty()) {
        return {}; // a file the administrator created for us
    }
    RecordReader reader(text);
    reader.expect(kHeader);
    KeptState state;
    while (!reader.atEnd()) {
        const std::string_view kind = reader.word();
        reader.expect(" ");
        if (kind == "topic") {
            const std::size_t size = reader.size();
            reader.expect("\n");
            state.topic = reader.bytes(size);
        } else if (kind == "card") {
            const std::size_t nickSize = reader.size();
            reader.expect(" ");
            const std::size_t fieldsSize = reader.size();
            reader.expect("\n");
            std::string nick = reader.bytes(nickSize);
            state.cards.push_back({std::move(nick), reader.bytes(fieldsSize)});
        } else {
            reader.fail("unknown record \"" + std::string(kind) + "\"");
        }
        reader.expect("\n");
    }
    return state;
}

} // namespace kovrel::server

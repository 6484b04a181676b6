#include "state_file.h"

#include <charconv>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <unistd.h>

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

std::error_code lastError()
{
    return {errno, std::generic_category()};
}

std::error_code writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return lastError();
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

std::error_code writeSynced(const std::filesystem::path& file, std::string_view bytes)
{
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return lastError();
    }
    std::error_code ec = writeAll(fd, bytes);
    if (!ec && ::fsync(fd) != 0) {
        ec = lastError();
    }
    if (::close(fd) != 0 && !ec) {
        ec = lastError();
    }
    return ec;
}

// Makes the rename itself durable.
void syncDirectory(const std::filesystem::path& directory)
{
    const int fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

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

std::error_code saveKeptState(const std::filesystem::path& file, const KeptState& state)
{
    std::filesystem::path temporary = file;
    temporary += ".tmp";
    if (std::error_code ec = writeSynced(temporary, serializeKeptState(state))) {
        return ec;
    }
    std::error_code ec;
    std::filesystem::rename(temporary, file, ec);
    if (!ec) {
        syncDirectory(file.parent_path());
    }
    return ec;
}

} // namespace kovrel::server

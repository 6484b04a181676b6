// SPDX-License-Identifier: GPL-3.0-or-later
// The server's TLS accept path: a Session on a TLS Transport, with the server's own certificate and the TLS
// listeners' context, as Server::admit makes one for a connection to a TLS port. The client's side is the
// other end of a socket pair, which sends a ClientHello (whole, cut short, mutated or replaced by garbage)
// and whatever follows it, then closes its side. Whatever the bytes, nothing crashes or leaks, and the
// session ends with the client's side, without waiting for any of its timers.
//
// Input: the first byte is the size of the writes the client's bytes arrive in (0: one write), with the
// server's event loop run between them; the rest is what the client sends.

#include "blacklist.h"
#include "discarded_log.h"
#include "room.h"
#include "server_settings.h"
#include "session.h"
#include "tls_certificate.h"
#include "transport.h"
#include "turn_writes.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/ssl/context.hpp>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace kovrel::server;

// Far longer than a handshake over a socket pair takes; a session still open by then is waiting for
// something that cannot come, as the client's side has ended.
constexpr std::chrono::seconds kPatience{5};

void check(bool holds)
{
    if (!holds) {
        std::abort();
    }
}

// The server's own certificate, made once in a scratch folder that goes when the fuzzer exits, and the
// context of the TLS listeners that presents it.
class ServerCertificate
{
public:
    ServerCertificate() : m_folder(scratchFolder()), m_context(tlsServerContext(ownCertificate(m_folder))) {}
    ~ServerCertificate()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    ServerCertificate(const ServerCertificate&) = delete;
    ServerCertificate& operator=(const ServerCertificate&) = delete;

    asio::ssl::context& context() { return m_context; }

private:
    static std::filesystem::path scratchFolder()
    {
        std::string path = (std::filesystem::temp_directory_path() / "fuzz_server_tls.XXXXXX").string();
        check(::mkdtemp(path.data()) != nullptr);
        return path;
    }

    std::filesystem::path m_folder;
    asio::ssl::context m_context;
};

// Sends the client's bytes `chunk` at a time, letting the server's event loop run after each write, and
// reads and drops what the server answers; then ends the client's side.
void sendAsClient(int client, std::string_view bytes, std::size_t chunk, asio::io_context& io)
{
    std::array<char, 16 * 1024> answer;
    for (std::size_t at = 0; at < bytes.size();) {
        const ssize_t written = ::send(client, bytes.data() + at, std::min(chunk, bytes.size() - at),
                                       MSG_NOSIGNAL | MSG_DONTWAIT);
        if (written < 0 && errno != EAGAIN) {
            break; // the server has closed its end
        }
        at += written > 0 ? static_cast<std::size_t>(written) : 0;
        io.poll();
        while (::recv(client, answer.data(), answer.size(), MSG_DONTWAIT) > 0) {
        }
    }
    ::shutdown(client, SHUT_WR);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    static ServerCertificate certificate;
    const std::size_t chunk = data[0] == 0 ? size : data[0];
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    int ends[2];
    check(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) == 0);
    asio::io_context io;
    asio::ip::tcp::socket socket(io);
    socket.assign(asio::ip::tcp::v4(), ends[0]);

    fuzz::DiscardedLog discarded;
    Room room;
    const Blacklist blacklist;
    TurnWrites writes(io);
    bool closed = false;
    auto session = std::make_shared<Session>(
        Transport(std::move(socket), &certificate.context()), "192.168.1.10", "192.168.1.10:5000", room,
        blacklist, SessionSettings(), discarded.log(), writes, [&closed](Session&) { closed = true; });
    session->start();
    sendAsClient(ends[1], bytes, chunk, io);
    io.run_for(kPatience);
    check(closed && io.stopped());
    check(room.size() == 0);
    ::close(ends[1]);
    return 0;
}

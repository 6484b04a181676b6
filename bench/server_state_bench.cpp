// SPDX-License-Identifier: GPL-3.0-or-later
// How long chat stalls while the server keeps its state: the real kovrel-server starts from a state file of
// 5,000 cards of 8 KiB, one user changes his card every 100 ms, and another sends a chat line every 5 ms
// and times each line's way back to him. Lines are sent on their schedule whether or not the earlier ones
// came back, so a stall of the server delays every line sent during it, as it would a room full of users.

#include "server_process.h"
#include "state_file.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/write.hpp>

#include "packet.h"
#include "packet_reader.h"

namespace {

using Clock = std::chrono::steady_clock;
using kovrel::server::test::ServerProcess;
using kovrel::server::test::TemporaryDirectory;

constexpr int kStoredCards = 5000;
constexpr std::size_t kCardSize = 8 * 1024;
constexpr auto kCardInterval = std::chrono::milliseconds(100);
constexpr auto kChatInterval = std::chrono::milliseconds(5);
constexpr auto kRunTime = std::chrono::seconds(10);

// A blocking connection that logs in and reads whole fields.
class Connection
{
public:
    Connection(unsigned short port, const std::string& nick) : m_socket(m_io)
    {
        m_socket.connect({asio::ip::address_v4::loopback(), port});
        m_socket.set_option(asio::ip::tcp::no_delay(true));
        send({"AddUser|" + nick});
        while (next() != "AddUser|" + nick) {
        }
    }

    void send(std::initializer_list<std::string_view> fields)
    {
        asio::write(m_socket, asio::buffer(kovrel::BuildPacket(fields)));
    }

    std::string next()
    {
        while (!m_reader.hasFields()) {
            std::array<char, 64 * 1024> buffer;
            m_reader.feed({buffer.data(), m_socket.read_some(asio::buffer(buffer))});
        }
        return std::move(m_reader.takeFields(1).front());
    }

    // Reads and drops what has arrived, without waiting.
    void drain()
    {
        std::array<char, 64 * 1024> buffer;
        while (m_socket.available() > 0) {
            m_socket.read_some(asio::buffer(buffer));
        }
    }

private:
    asio::io_context m_io;
    asio::ip::tcp::socket m_socket;
    kovrel::PacketReader m_reader;
};

std::string card(char filler)
{
    return "Name|Surname|RU|Tver|N/A|N/A|N/A|mail@example.org|http://|N/A|" +
           std::string(kCardSize - 64, filler);
}

void writeStoredCards(const std::filesystem::path& file)
{
    kovrel::server::KeptState state{"a topic", {}};
    for (int i = 0; i < kStoredCards; ++i) {
        state.cards.push_back({"user" + std::to_string(i), card('a' + i % 26)});
    }
    std::ofstream(file, std::ios::binary) << kovrel::server::serializeKeptState(state);
}

double percentile(std::vector<double> samples, double fraction)
{
    std::sort(samples.begin(), samples.end());
    return samples[static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1))];
}

void ChatWhileACardChanges(benchmark::State& state)
{
    TemporaryDirectory folder;
    const std::filesystem::path stateFile = folder.path() / "state";
    writeStoredCards(stateFile);
    ServerProcess server({"--state", stateFile.string(), "--chat-rate", "0"});
    Connection changer(server.port(), "Changer");
    Connection chatter(server.port(), "Chatter");

    std::vector<double> roundTrips;
    for (auto _ : state) {
        const auto start = Clock::now();
        const int lines = static_cast<int>(kRunTime / kChatInterval);
        // Each line carries its send time.
        std::thread sender([&] {
            auto nextCard = start;
            for (int line = 0; line < lines; ++line) {
                std::this_thread::sleep_until(start + line * kChatInterval);
                if (Clock::now() >= nextCard) {
                    changer.send({"SetInfo|Changer|" + card(line % 2 == 0 ? 'x' : 'y')});
                    changer.drain();
                    nextCard += kCardInterval;
                }
                chatter.send({"AllUser|Chatter|" + std::to_string(Clock::now().time_since_epoch().count())});
            }
        });
        for (int received = 0; received < lines;) {
            const std::string field = chatter.next();
            if (field.starts_with("AllUser|Chatter|")) {
                const Clock::time_point sent{Clock::duration(std::stoll(field.substr(16)))};
                roundTrips.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
                ++received;
            }
        }
        sender.join();
    }
    state.counters["p50_ms"] = percentile(roundTrips, 0.50);
    state.counters["p99_ms"] = percentile(roundTrips, 0.99);
    state.counters["max_ms"] = percentile(roundTrips, 1.0);
}

BENCHMARK(ChatWhileACardChanges)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();

// SPDX-License-Identifier: GPL-3.0-or-later
// Throughput of the field codec and the framing, next to OpenSSL's DES-ECB on the same bytes.
//
// The codec and OpenSSL take turns: at each field size, round after round, our encoding, OpenSSL's
// encryption, our decoding, OpenSSL's decryption, so that whatever else the machine does meanwhile slows
// both alike. At the end a table gives, for each size, the median throughput of each over the rounds with
// its range, and the median and range of the ratio ours / OpenSSL's taken round by round.
//   bench_codec [--rounds=N] [Google Benchmark options]   N rounds at each size (7)

#include "field_cipher.h"
#include "packet.h"
#include "packet_reader.h"

#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string randomText(std::size_t size)
{
    std::mt19937 random(static_cast<unsigned>(size));
    std::uniform_int_distribution<int> byte(1, 255);
    std::string text(size, '\0');
    for (char& c : text) {
        c = static_cast<char>(byte(random));
    }
    return text;
}

void EncodeField(benchmark::State& state, std::size_t size)
{
    const std::string text = randomText(size);
    for (auto _ : state) {
        benchmark::DoNotOptimize(kovrel::EncodeField(text));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}

void DecodeField(benchmark::State& state, std::size_t size)
{
    const std::string encoded = kovrel::EncodeField(randomText(size));
    for (auto _ : state) {
        benchmark::DoNotOptimize(kovrel::DecodeField(encoded));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}

// OpenSSL's DES in electronic code book mode over the same number of 8-byte blocks.
void OpenSSLDesEcb(benchmark::State& state, std::size_t size, int direction)
{
    std::string in = randomText((size + 7) / 8 * 8);
    std::string out(in.size(), '\0');
    DES_cblock key = {'5', '8', '2', '0', '3', '7', '1', '6'};
    DES_key_schedule schedule;
    DES_set_key_unchecked(&key, &schedule);
    for (auto _ : state) {
        for (std::size_t at = 0; at < in.size(); at += 8) {
            DES_ecb_encrypt(reinterpret_cast<const_DES_cblock*>(in.data() + at),
                            reinterpret_cast<DES_cblock*>(out.data() + at), &schedule, direction);
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}

std::string streamOf100ByteFields(std::size_t streamSize)
{
    std::string stream;
    while (stream.size() < streamSize) {
        kovrel::AppendFramedField(stream, randomText(100));
    }
    return stream;
}

void ParsePacket(benchmark::State& state)
{
    const std::string stream = streamOf100ByteFields(64 * 1024);
    for (auto _ : state) {
        benchmark::DoNotOptimize(kovrel::ParsePacket(stream));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.size()));
}

void ParsePacketWithReader(benchmark::State& state)
{
    const std::string stream = streamOf100ByteFields(64 * 1024);
    for (auto _ : state) {
        kovrel::PacketReader reader;
        reader.feed(stream);
        benchmark::DoNotOptimize(reader.takeFields(reader.queuedFields()));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.size()));
}

constexpr std::size_t kFieldSizes[] = {16, 100, 1024, 16384};
constexpr int kDefaultRounds = 7;

// One direction at one field size: the throughput of each round, ours and OpenSSL's, in bytes a second.
struct Comparison
{
    std::vector<double> ours;
    std::vector<double> openssl;
};

struct Slot
{
    Comparison* comparison;
    bool ours;
};

struct Summary
{
    double median;
    double low;
    double high;
};

Summary summarise(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    const double median = values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    return {median, values.front(), values.back()};
}

// What the paired runs measured, filled in as the runs are reported, and the table made of it.
class PairedRounds
{
public:
    explicit PairedRounds(int rounds) : m_rounds(rounds) {}

    void registerAll()
    {
        for (std::size_t size : kFieldSizes) {
            for (int round = 1; round <= m_rounds; ++round) {
                const std::string suffix = "/" + std::to_string(size) + "/round:" + std::to_string(round);
                add("EncodeField" + suffix, m_encode[size], true, EncodeField, size);
                add("OpenSSLDesEcbEncrypt" + suffix, m_encode[size], false, OpenSSLDesEcb, size, DES_ENCRYPT);
                add("DecodeField" + suffix, m_decode[size], true, DecodeField, size);
                add("OpenSSLDesEcbDecrypt" + suffix, m_decode[size], false, OpenSSLDesEcb, size, DES_DECRYPT);
            }
        }
    }

    void record(const benchmark::BenchmarkReporter::Run& run)
    {
        const auto slot = m_slots.find(run.benchmark_name());
        const auto rate = run.counters.find("bytes_per_second");
        if (slot == m_slots.end() || rate == run.counters.end() || run.error_occurred)
            return;
        (slot->second.ours ? slot->second.comparison->ours : slot->second.comparison->openssl)
            .push_back(rate->second.value);
    }

    void print(std::ostream& out) const
    {
        if (std::none_of(m_encode.begin(), m_encode.end(),
                         [](const auto& size) { return complete(size.second); }))
            return;
        out << "\nThe codec against OpenSSL's DES-ECB, taking turns, " << m_rounds
            << " rounds at each size: MiB/s, median (lowest - highest); the ratio is ours / OpenSSL's, "
               "round by round\n";
        out << line("Field size", "Encode", "OpenSSL encrypt", "Ratio", "Decode", "OpenSSL decrypt", "Ratio");
        for (std::size_t size : kFieldSizes) {
            const auto encode = m_encode.find(size);
            const auto decode = m_decode.find(size);
            if (encode == m_encode.end() || !complete(encode->second) || decode == m_decode.end() ||
                !complete(decode->second))
                continue;
            out << line(std::to_string(size) + " B", mebibytes(encode->second.ours),
                        mebibytes(encode->second.openssl), ratio(encode->second),
                        mebibytes(decode->second.ours), mebibytes(decode->second.openssl),
                        ratio(decode->second));
        }
    }

private:
    template <typename Function, typename... Arguments>
    void add(const std::string& name, Comparison& comparison, bool ours, Function function,
             Arguments... arguments)
    {
        benchmark::RegisterBenchmark(name.c_str(), function, arguments...);
        m_slots[name] = {&comparison, ours};
    }

    static bool complete(const Comparison& comparison)
    {
        return !comparison.ours.empty() && comparison.ours.size() == comparison.openssl.size();
    }

    static std::string format(const char* pattern, Summary summary)
    {
        char text[64];
        std::snprintf(text, sizeof text, pattern, summary.median, summary.low, summary.high);
        return text;
    }

    static std::string mebibytes(const std::vector<double>& rates)
    {
        std::vector<double> inMebibytes;
        for (double rate : rates)
            inMebibytes.push_back(rate / (1024.0 * 1024.0));
        return format("%.0f (%.0f - %.0f)", summarise(inMebibytes));
    }

    static std::string ratio(const Comparison& comparison)
    {
        std::vector<double> ratios;
        for (std::size_t round = 0; round < comparison.ours.size(); ++round)
            ratios.push_back(comparison.ours[round] / comparison.openssl[round]);
        return format("%.2f (%.2f - %.2f)", summarise(ratios));
    }

    static std::string line(const std::string& size, const std::string& encode, const std::string& encrypt,
                            const std::string& encodeRatio, const std::string& decode,
                            const std::string& decrypt, const std::string& decodeRatio)
    {
        char text[256];
        std::snprintf(text, sizeof text, "%-10s  %-15s  %-15s  %-18s  %-15s  %-15s  %-18s\n", size.c_str(),
                      encode.c_str(), encrypt.c_str(), encodeRatio.c_str(), decode.c_str(), decrypt.c_str(),
                      decodeRatio.c_str());
        return text;
    }

    int m_rounds;
    std::map<std::size_t, Comparison> m_encode;
    std::map<std::size_t, Comparison> m_decode;
    std::map<std::string, Slot> m_slots;
};

// The console's lines as usual, each paired run recorded, and the table once every run is done.
class PairedReporter : public benchmark::ConsoleReporter
{
public:
    explicit PairedReporter(PairedRounds& rounds) : m_rounds(rounds) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            m_rounds.record(run);
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        m_rounds.print(GetOutputStream());
    }

private:
    PairedRounds& m_rounds;
};

// Takes --rounds=N out of the arguments, leaving Google Benchmark's own.
int takeRounds(int& argc, char** argv)
{
    constexpr std::string_view kFlag = "--rounds=";
    int rounds = kDefaultRounds;
    int kept = 1;
    for (int index = 1; index < argc; ++index) {
        const std::string_view argument = argv[index];
        if (argument.starts_with(kFlag))
            rounds = std::max(1, std::atoi(argument.substr(kFlag.size()).data()));
        else
            argv[kept++] = argv[index];
    }
    argc = kept;
    return rounds;
}

} // namespace

BENCHMARK(ParsePacket);
BENCHMARK(ParsePacketWithReader);

int main(int argc, char** argv)
{
    PairedRounds rounds(takeRounds(argc, argv));
    rounds.registerAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    PairedReporter reporter(rounds);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

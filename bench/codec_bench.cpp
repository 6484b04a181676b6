// SPDX-License-Identifier: GPL-3.0-or-later
// Throughput of the field codec and the framing, next to OpenSSL's DES-ECB on the same bytes.

#include "field_cipher.h"
#include "packet.h"
#include "packet_reader.h"

#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

#include <benchmark/benchmark.h>

#include <random>
#include <string>
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

void EncodeField(benchmark::State& state)
{
    const std::string text = randomText(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(kovrel::EncodeField(text));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void DecodeField(benchmark::State& state)
{
    const std::string encoded = kovrel::EncodeField(randomText(static_cast<std::size_t>(state.range(0))));
    for (auto _ : state) {
        benchmark::DoNotOptimize(kovrel::DecodeField(encoded));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// OpenSSL's DES in electronic code book mode over the same number of 8-byte blocks.
void OpenSSLDesEcb(benchmark::State& state, int direction)
{
    const std::size_t size = static_cast<std::size_t>(state.range(0));
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
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void OpenSSLDesEcbEncrypt(benchmark::State& state)
{
    OpenSSLDesEcb(state, DES_ENCRYPT);
}

void OpenSSLDesEcbDecrypt(benchmark::State& state)
{
    OpenSSLDesEcb(state, DES_DECRYPT);
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

} // namespace

BENCHMARK(EncodeField)->Arg(16)->Arg(100)->Arg(1024)->Arg(16384);
BENCHMARK(OpenSSLDesEcbEncrypt)->Arg(16)->Arg(100)->Arg(1024)->Arg(16384);
BENCHMARK(DecodeField)->Arg(16)->Arg(100)->Arg(1024)->Arg(16384);
BENCHMARK(OpenSSLDesEcbDecrypt)->Arg(16)->Arg(100)->Arg(1024)->Arg(16384);
BENCHMARK(ParsePacket);
BENCHMARK(ParsePacketWithReader);

BENCHMARK_MAIN();

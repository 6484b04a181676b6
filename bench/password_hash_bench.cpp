// SPDX-License-Identifier: GPL-3.0-or-later
// What a password costs the server: hashing a new one (the account command) and checking one given at a
// log-in, at the cost the server keeps passwords at (scrypt, N = 2^15, r = 8, p = 1).

#include "password_hash.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

void HashANewPassword(benchmark::State& state)
{
    for (auto _ : state) {
        benchmark::DoNotOptimize(kovrel::server::hashPassword("correct horse battery staple"));
    }
}

void CheckAPassword(benchmark::State& state)
{
    const std::string hash = kovrel::server::hashPassword("correct horse battery staple");
    for (auto _ : state) {
        benchmark::DoNotOptimize(kovrel::server::passwordMatches("correct horse battery stable", hash));
    }
}

} // namespace

BENCHMARK(HashANewPassword)->Unit(benchmark::kMillisecond);
BENCHMARK(CheckAPassword)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

// SPDX-License-Identifier: GPL-3.0-or-later
// kovrel-bench: a load generator for kovrel-server. See benchUsage() in bench_options.cpp.

#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench_options.h"
#include "bench_run.h"
#include "kovrel_version.h"
#include "open_files.h"
#include "process_cpu.h"

namespace {

using namespace kovrel::bench;

void checkServerPids(const BenchOptions& options)
{
    for (const int pid : options.serverPids) {
        if (!processCpuTimes(pid)) {
            throw kovrel::UsageError("--server-pid " + std::to_string(pid) + ": cannot read /proc/" +
                                     std::to_string(pid) + "/stat");
        }
    }
}

// False, said on stderr, when the clients would not get a socket each even with the limit raised: better
// than failing midway with "too many open files".
bool roomForClients(const BenchOptions& options)
{
    // The standard streams, the resolver, and each thread's event queue and wake-up descriptor.
    const std::size_t spare = 32 + 2 * static_cast<std::size_t>(options.threads);
    const std::size_t needed = static_cast<std::size_t>(options.clients) + spare;
    const std::optional<std::size_t> limit = kovrel::raiseOpenFileLimit();
    if (limit && *limit < needed) {
        std::cerr << "kovrel-bench: " << options.clients << " clients need about " << needed
                  << " open files, but the limit is " << *limit
                  << " (ulimit -Hn); raise it or run fewer clients\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        const std::vector<std::string_view> arguments(argv + 1, argv + argc);
        const BenchOptions options = parseBenchOptions(arguments);
        if (options.version) {
            std::cout << "kovrel-bench " << kovrel::kVersion << '\n';
            return 0;
        }
        if (options.help) {
            std::cout << benchUsage();
            return 0;
        }
        checkServerPids(options);
        if (!roomForClients(options)) {
            return 1;
        }
        BenchRun run(options);
        const BenchSummary summary = run.run();
        std::cout << summary.line() << std::endl;
        return summary.clean() ? 0 : 1;
    } catch (const kovrel::UsageError& error) {
        std::cerr << "kovrel-bench: " << error.what() << "\nTry \"kovrel-bench --help\".\n";
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "kovrel-bench: " << error.what() << '\n';
        return 1;
    } catch (...) {
        std::cerr << "kovrel-bench: unknown error\n";
        return 1;
    }
}

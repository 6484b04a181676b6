// SPDX-License-Identifier: GPL-3.0-or-later
// kovrel-bench: a load generator for kovrel-server. See benchUsage() in bench_options.cpp.

#include <exception>
#include <iostream>
#include <string_view>
#include <vector>

#include "bench_options.h"
#include "bench_run.h"
#include "kovrel_version.h"

int main(int argc, char** argv)
{
    using namespace kovrel::bench;
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

// SPDX-License-Identifier: GPL-3.0-or-later
#include "process_cpu.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include <unistd.h>

namespace kovrel::bench {

std::optional<CpuTimes> processCpuTimes(int pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    const std::string stat{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    // The command name in parentheses may hold spaces and parentheses itself: the fields after it are read
    // from its last ')'. There come the state (field 3) ... utime (field 14) and stime (field 15).
    const std::size_t nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(stat.substr(nameEnd + 1));
    std::string skipped;
    for (int field = 3; field < 14; ++field) {
        fields >> skipped;
    }
    unsigned long long userTicks = 0;
    unsigned long long systemTicks = 0;
    if (!(fields >> userTicks >> systemTicks)) {
        return std::nullopt;
    }
    const auto ticksPerSecond = static_cast<double>(::sysconf(_SC_CLK_TCK));
    return CpuTimes{static_cast<double>(userTicks) / ticksPerSecond,
                    static_cast<double>(systemTicks) / ticksPerSecond};
}

std::optional<CpuTimes> totalCpuTimes(std::span<const int> pids)
{
    CpuTimes total;
    for (const int pid : pids) {
        const std::optional<CpuTimes> times = processCpuTimes(pid);
        if (!times) {
            return std::nullopt;
        }
        total.user += times->user;
        total.system += times->system;
    }
    return total;
}

} // namespace kovrel::bench

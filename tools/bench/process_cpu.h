// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <span>

namespace kovrel::bench {

// CPU time a process has used, in seconds.
struct CpuTimes
{
    double user = 0;
    double system = 0;

    CpuTimes operator-(const CpuTimes& earlier) const
    {
        return {user - earlier.user, system - earlier.system};
    }
};

// What /proc/PID/stat says; nothing when that cannot be read (no such process, or not ours to see).
std::optional<CpuTimes> processCpuTimes(int pid);

// Summed over the processes; nothing when any of them cannot be read.
std::optional<CpuTimes> totalCpuTimes(std::span<const int> pids);

} // namespace kovrel::bench

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Included once by each harness that draws text: fontconfig, which Qt's font database starts, keeps a few
// allocations of its own that it never frees. They are not the program's leaks, and LeakSanitizer is told
// so, in the smoke (which checks leaks) as in long runs.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace kovrel::fuzz {

// The command line a harness gives its Qt application: the harness's name alone. The application keeps
// references to both counts and words, so this outlives it.
struct HarnessArguments
{
    explicit HarnessArguments(const char* harness) : name(harness) {}
    HarnessArguments(const HarnessArguments&) = delete;
    HarnessArguments& operator=(const HarnessArguments&) = delete;

    std::string name;
    int argc = 1;
    char* argv[2] = {name.data(), nullptr};
};

} // namespace kovrel::fuzz

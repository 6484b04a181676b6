// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace kovrel::server {

// The password of a new account for `nick`, as typed (UTF-8). From a terminal it is asked for twice, with
// the echo off, and must be typed the same both times (std::runtime_error otherwise); when standard input
// is not a terminal, it is its first line.
std::string readNewPassword(std::string_view nick);

} // namespace kovrel::server

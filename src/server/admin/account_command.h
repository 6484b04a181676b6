// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "options.h"

namespace kovrel::server {

// Runs the administrator's account command of `options` on the accounts of its state database or of its
// cluster's Redis: adds one (its password read by readNewPassword()), removes one, or prints every nick.
// What was done goes to standard output. Throws std::runtime_error, with a message for the administrator,
// for an account that cannot be added or removed and for a storage that cannot be reached.
void runAccountCommand(const ServerOptions& options);

} // namespace kovrel::server

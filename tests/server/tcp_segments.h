// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace kovrel::server::test {

// TCP segments with data that the connected socket has received so far; the kernel counts them.
unsigned dataSegmentsReceived(int socket);

} // namespace kovrel::server::test

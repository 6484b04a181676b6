// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>

namespace kovrel {

// How long a connection may stay silent or leave data unacknowledged before the system gives it up. A
// server that vanished (a suspend, a network that changed under the connection) then shows as a socket
// error within about a minute, instead of after the system's default of hours.
struct TcpLiveness
{
    std::chrono::seconds idleBeforeProbes{60};
    std::chrono::seconds betweenProbes{10};
    int probes = 3;
    std::chrono::milliseconds unacknowledgedLimit{30000};
};

// Sets the limits on a connected TCP socket; false when the system refused one of them.
bool ApplyTcpLiveness(long long socketDescriptor, const TcpLiveness& limits = {});

} // namespace kovrel

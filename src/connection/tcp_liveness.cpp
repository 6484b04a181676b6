// SPDX-License-Identifier: GPL-3.0-or-later
#include "tcp_liveness.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace kovrel {

namespace {

bool setOption(int socket, int level, int name, int value)
{
    return setsockopt(socket, level, name, &value, sizeof value) == 0;
}

} // namespace

bool ApplyTcpLiveness(long long socketDescriptor, const TcpLiveness& limits)
{
    const auto socket = static_cast<int>(socketDescriptor);
    return setOption(socket, SOL_SOCKET, SO_KEEPALIVE, 1) &&
           setOption(socket, IPPROTO_TCP, TCP_KEEPIDLE, static_cast<int>(limits.idleBeforeProbes.count())) &&
           setOption(socket, IPPROTO_TCP, TCP_KEEPINTVL, static_cast<int>(limits.betweenProbes.count())) &&
           setOption(socket, IPPROTO_TCP, TCP_KEEPCNT, limits.probes) &&
           setOption(socket, IPPROTO_TCP, TCP_USER_TIMEOUT,
                     static_cast<int>(limits.unacknowledgedLimit.count()));
}

} // namespace kovrel

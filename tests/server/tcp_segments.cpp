// SPDX-License-Identifier: GPL-3.0-or-later
#include "tcp_segments.h"

// The C library's tcp_info stops before the segment counts; the kernel's own header has them, and it
// cannot share a unit with the C library's (and so with Asio).
#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

namespace kovrel::server::test {

unsigned dataSegmentsReceived(int socket)
{
    tcp_info info{};
    socklen_t size = sizeof info;
    EXPECT_EQ(::getsockopt(socket, IPPROTO_TCP, TCP_INFO, &info, &size), 0);
    return info.tcpi_data_segs_in;
}

} // namespace kovrel::server::test

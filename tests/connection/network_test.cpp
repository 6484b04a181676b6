// SPDX-License-Identifier: GPL-3.0-or-later
// What the client does of the network's state: when it counts as back, and how long a silent connection
// may live.

#include "network_watch.h"
#include "tcp_liveness.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

namespace kovrel {
namespace {

using Reachability = QNetworkInformation::Reachability;
using namespace std::chrono_literals;

TEST(NetworkCameBack, OnlyWhenTheNetworkReachesBeyondThisMachineAgain)
{
    EXPECT_TRUE(NetworkCameBack(Reachability::Disconnected, Reachability::Online));
    EXPECT_TRUE(NetworkCameBack(Reachability::Disconnected, Reachability::Site));
    EXPECT_TRUE(NetworkCameBack(Reachability::Local, Reachability::Online));
    EXPECT_FALSE(NetworkCameBack(Reachability::Online, Reachability::Online));
    EXPECT_FALSE(NetworkCameBack(Reachability::Site, Reachability::Online)) << "it never went";
    EXPECT_FALSE(NetworkCameBack(Reachability::Unknown, Reachability::Online)) << "the first report";
    EXPECT_FALSE(NetworkCameBack(Reachability::Disconnected, Reachability::Local));
    EXPECT_FALSE(NetworkCameBack(Reachability::Online, Reachability::Disconnected));
}

int intOption(qintptr socket, int level, int name)
{
    int value = -1;
    socklen_t size = sizeof value;
    getsockopt(static_cast<int>(socket), level, name, &value, &size);
    return value;
}

TEST(TcpLiveness, ASilentOrStalledConnectionIsGivenUpWithinTheLimits)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, server.serverPort());
    ASSERT_TRUE(socket.waitForConnected(5000));
    ASSERT_TRUE(ApplyTcpLiveness(socket.socketDescriptor(), {20s, 5s, 4, 15000ms}));
    const qintptr descriptor = socket.socketDescriptor();
    EXPECT_EQ(intOption(descriptor, SOL_SOCKET, SO_KEEPALIVE), 1);
    EXPECT_EQ(intOption(descriptor, IPPROTO_TCP, TCP_KEEPIDLE), 20);
    EXPECT_EQ(intOption(descriptor, IPPROTO_TCP, TCP_KEEPINTVL), 5);
    EXPECT_EQ(intOption(descriptor, IPPROTO_TCP, TCP_KEEPCNT), 4);
    EXPECT_EQ(intOption(descriptor, IPPROTO_TCP, TCP_USER_TIMEOUT), 15000);
    EXPECT_FALSE(ApplyTcpLiveness(-1)) << "a socket that is not there is refused, not ignored";
}

} // namespace
} // namespace kovrel

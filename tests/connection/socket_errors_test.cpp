// SPDX-License-Identifier: GPL-3.0-or-later
#include "socket_errors.h"

#include <gtest/gtest.h>

namespace kovrel {
namespace {

TEST(SocketErrors, NamesEveryKnownNumberAndNoOther)
{
    EXPECT_EQ(SocketErrorName(10004), "WSAEINTR");
    EXPECT_EQ(SocketErrorName(10024), "WSAEMFILE");
    EXPECT_EQ(SocketErrorName(10035), "WSAEWOULDBLOCK");
    EXPECT_EQ(SocketErrorName(10061), "WSAECONNREFUSED");
    EXPECT_EQ(SocketErrorName(10071), "WSAEREMOTE");
    EXPECT_EQ(SocketErrorName(10093), "WSANOTINITIALISED");
    EXPECT_EQ(SocketErrorName(10101), "WSAEDISCON");
    EXPECT_EQ(SocketErrorName(10112), "WSAEREFUSED");
    EXPECT_EQ(SocketErrorName(11001), "WSAHOST_NOT_FOUND");
    EXPECT_EQ(SocketErrorName(11004), "WSANO_DATA");
    for (int unnamed : {0, 10005, 10034, 10072, 10090, 10094, 10100, 10113, 11000, 11005, -1}) {
        EXPECT_EQ(SocketErrorName(unnamed), "WSAUNKNOWN") << unnamed;
    }
}

TEST(SocketErrors, MapsQtErrorsToTheNearestNumbers)
{
    EXPECT_EQ(SocketErrorName(WsaErrorCode(QAbstractSocket::ConnectionRefusedError)), "WSAECONNREFUSED");
    EXPECT_EQ(SocketErrorName(WsaErrorCode(QAbstractSocket::HostNotFoundError)), "WSAHOST_NOT_FOUND");
    EXPECT_EQ(SocketErrorName(WsaErrorCode(QAbstractSocket::SocketTimeoutError)), "WSAETIMEDOUT");
    EXPECT_EQ(SocketErrorName(WsaErrorCode(QAbstractSocket::NetworkError)), "WSAENETUNREACH");
    EXPECT_EQ(SocketErrorName(WsaErrorCode(QAbstractSocket::UnknownSocketError)), "WSAUNKNOWN");
    EXPECT_EQ(SocketErrorKindName(SocketErrorKind::Connect), "Connect");
    EXPECT_EQ(SocketErrorKindName(static_cast<SocketErrorKind>(9)), "Unknow");
}

} // namespace
} // namespace kovrel

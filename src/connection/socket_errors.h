// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractSocket>
#include <QString>

namespace kovrel {

// Where a socket error happened, numbered as the error line names them.
enum class SocketErrorKind
{
    General = 0,
    Send = 1,
    Receive = 2,
    Connect = 3,
    Disconnect = 4,
    Accept = 5,
};

QString SocketErrorKindName(SocketErrorKind kind);

// The symbolic name of a Windows Sockets error number ("WSAECONNREFUSED" for 10061), "WSAUNKNOWN" for
// numbers without one.
QString SocketErrorName(int code);

// The Windows Sockets number nearest to a Qt socket error; 0 where there is none.
int WsaErrorCode(QAbstractSocket::SocketError error);

} // namespace kovrel

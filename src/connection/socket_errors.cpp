// SPDX-License-Identifier: GPL-3.0-or-later
#include "socket_errors.h"

#include <array>
#include <iterator>

namespace kovrel {
namespace {

struct NamedRange
{
    int first;
    const char* const* names;
    int count;
};

constexpr const char* kBasicNames[] = {"WSAEINTR",  "WSAEBADF",  "WSAEACCES",
                                       "WSAEFAULT", "WSAEINVAL", "WSAEMFILE"};
constexpr int kBasicCodes[] = {10004, 10009, 10013, 10014, 10022, 10024};

constexpr const char* kSocketNames[] = {
    "WSAEWOULDBLOCK",  "WSAEINPROGRESS",  "WSAEALREADY",     "WSAENOTSOCK",        "WSAEDESTADDRREQ",
    "WSAEMSGSIZE",     "WSAEPROTOTYPE",   "WSAENOPROTOOPT",  "WSAEPROTONOSUPPORT", "WSAESOCKTNOSUPPORT",
    "WSAEOPNOTSUPP",   "WSAEPFNOSUPPORT", "WSAEAFNOSUPPORT", "WSAEADDRINUSE",      "WSAEADDRNOTAVAIL",
    "WSAENETDOWN",     "WSAENETUNREACH",  "WSAENETRESET",    "WSAECONNABORTED",    "WSAECONNRESET",
    "WSAENOBUFS",      "WSAEISCONN",      "WSAENOTCONN",     "WSAESHUTDOWN",       "WSAETOOMANYREFS",
    "WSAETIMEDOUT",    "WSAECONNREFUSED", "WSAELOOP",        "WSAENAMETOOLONG",    "WSAEHOSTDOWN",
    "WSAEHOSTUNREACH", "WSAENOTEMPTY",    "WSAEPROCLIM",     "WSAEUSERS",          "WSAEDQUOT",
    "WSAESTALE",       "WSAEREMOTE",
};
constexpr const char* kSystemNames[] = {"WSASYSNOTREADY", "WSAVERNOTSUPPORTED", "WSANOTINITIALISED"};
constexpr const char* kServiceNames[] = {
    "WSAEDISCON",           "WSAENOMORE",           "WSAECANCELLED",
    "WSAEINVALIDPROCTABLE", "WSAEINVALIDPROVIDER",  "WSAEPROVIDERFAILEDINIT",
    "WSASYSCALLFAILURE",    "WSASERVICE_NOT_FOUND", "WSATYPE_NOT_FOUND",
    "WSA_E_NO_MORE",        "WSA_E_CANCELLED",      "WSAEREFUSED",
};
constexpr const char* kResolverNames[] = {"WSAHOST_NOT_FOUND", "WSATRY_AGAIN", "WSANO_RECOVERY",
                                          "WSANO_DATA"};

constexpr std::array<NamedRange, 4> kRanges = {{
    {10035, kSocketNames, static_cast<int>(std::size(kSocketNames))},
    {10091, kSystemNames, static_cast<int>(std::size(kSystemNames))},
    {10101, kServiceNames, static_cast<int>(std::size(kServiceNames))},
    {11001, kResolverNames, static_cast<int>(std::size(kResolverNames))},
}};

} // namespace

QString SocketErrorKindName(SocketErrorKind kind)
{
    switch (kind) {
    case SocketErrorKind::General:
        return QStringLiteral("General");
    case SocketErrorKind::Send:
        return QStringLiteral("Send");
    case SocketErrorKind::Receive:
        return QStringLiteral("Receive");
    case SocketErrorKind::Connect:
        return QStringLiteral("Connect");
    case SocketErrorKind::Disconnect:
        return QStringLiteral("Disconnect");
    case SocketErrorKind::Accept:
        return QStringLiteral("Accept");
    }
    return QStringLiteral("Unknow");
}

QString SocketErrorName(int code)
{
    for (std::size_t i = 0; i < std::size(kBasicCodes); ++i) {
        if (kBasicCodes[i] == code) {
            return QString::fromLatin1(kBasicNames[i]);
        }
    }
    for (const NamedRange& range : kRanges) {
        if (code >= range.first && code < range.first + range.count) {
            return QString::fromLatin1(range.names[code - range.first]);
        }
    }
    return QStringLiteral("WSAUNKNOWN");
}

int WsaErrorCode(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return 10061;
    case QAbstractSocket::RemoteHostClosedError:
        return 10054;
    case QAbstractSocket::HostNotFoundError:
        return 11001;
    case QAbstractSocket::SocketAccessError:
        return 10013;
    case QAbstractSocket::SocketResourceError:
        return 10055;
    case QAbstractSocket::SocketTimeoutError:
        return 10060;
    case QAbstractSocket::DatagramTooLargeError:
        return 10040;
    case QAbstractSocket::NetworkError:
        return 10051;
    case QAbstractSocket::AddressInUseError:
        return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return 10049;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return 10045;
    case QAbstractSocket::OperationError:
        return 10022;
    case QAbstractSocket::TemporaryError:
        return 10035;
    default:
        return 0;
    }
}

} // namespace kovrel

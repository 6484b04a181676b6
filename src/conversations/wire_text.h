// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <string_view>

// Text crosses the wire as Windows-1251 bytes; inside the client it is QString. Characters that
// Windows-1251 cannot hold become "?" (Qt's own converter would send a control character instead).
namespace kovrel {

std::string toWire(const QString& text);
QString fromWire(std::string_view bytes);

// The message `command` with `values` in wire text, made by the protocol's message builder.
std::string WireMessage(std::string_view command, const QStringList& values = {});

} // namespace kovrel

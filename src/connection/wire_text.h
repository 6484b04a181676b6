#pragma once

#include <QString>

#include <string>
#include <string_view>

// Text crosses the wire as Windows-1251 bytes; inside the client it is QString. Characters that
// Windows-1251 cannot hold become "?" (Qt's own converter would send a control character instead).
namespace kovrel {

std::string toWire(const QString& text);
QString fromWire(std::string_view bytes);

} // namespace kovrel

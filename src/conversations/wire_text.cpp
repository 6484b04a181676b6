// SPDX-License-Identifier: GPL-3.0-or-later
#include "wire_text.h"

#include "cp1251.h"
#include "message.h"

#include <vector>

namespace kovrel {

std::string toWire(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return cp1251::fromUtf8(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

QString fromWire(std::string_view bytes)
{
    return QString::fromStdString(cp1251::toUtf8(bytes));
}

std::string WireMessage(std::string_view command, const QStringList& values)
{
    std::vector<std::string> wireValues;
    wireValues.reserve(static_cast<std::size_t>(values.size()));
    for (const QString& value : values) {
        wireValues.push_back(toWire(value));
    }
    return BuildMessage(command, wireValues);
}

} // namespace kovrel

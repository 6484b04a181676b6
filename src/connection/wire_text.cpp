#include "wire_text.h"

#include "cp1251.h"

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

} // namespace kovrel

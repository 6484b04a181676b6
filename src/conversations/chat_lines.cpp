// SPDX-License-Identifier: GPL-3.0-or-later
#include "chat_lines.h"

#include "settings_layout.h"

#include <QLocale>
#include <QRegularExpression>

namespace kovrel::lines {
namespace {

// The locale's long time format with its time zone left out.
QString longTimeFormatWithoutZone()
{
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*")));
    return format.trimmed();
}

// Drops everything up to and including `mark` and the one character after it; without the mark, only the
// first character.
QString dropThrough(const QString& text, QChar mark)
{
    const qsizetype at = text.indexOf(mark);
    return at < 0 ? text.mid(1) : text.mid(at + 2);
}

} // namespace

QString TrimControls(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first].unicode() <= 32) {
        ++first;
    }
    while (last > first && text[last - 1].unicode() <= 32) {
        --last;
    }
    return text.mid(first, last - first);
}

QString TimePrefix()
{
    return TimePrefix(ReadConfigFlag(ConfigFlag::ShowTime), QTime::currentTime());
}

QString TimePrefix(bool showTime, const QTime& now)
{
    if (!showTime) {
        return {};
    }
    return QLatin1Char('(') + QLocale::system().toString(now, longTimeFormatWithoutZone()) +
           QLatin1String(") ");
}

QString ChatMessage(const QString& prefix, const QString& sender, const QString& text)
{
    return prefix + sender + QLatin1String(": ") + text;
}

QString Arrival(const QString& prefix, const QString& nick)
{
    return prefix + QStringLiteral("К нам пришёл (пришла) ") + nick + QLatin1String("...");
}

QString Departure(const QString& prefix, const QString& nick)
{
    return prefix + QStringLiteral("От нас ушёл (ушла) ") + nick + QLatin1String("...");
}

QString UnknownCommand(const QString& prefix, const QString& command, const QString& rest)
{
    return prefix + QStringLiteral("Неизвестный пакет... Комманда: ") + command +
           QStringLiteral(", Сообщение: ") + rest + QLatin1String("...");
}

QString ErrorReport(const QString& prefix, const QString& message, const QString& className)
{
    return prefix + QStringLiteral("Ошибка: ") + message + QStringLiteral(",Класс: ") + className;
}

QString AddressAnswer(const QString& nick, const QString& address)
{
    return nick + QStringLiteral("'s IP is ") + address;
}

QString NoAddressAnswer(const QString& nick)
{
    return nick + QStringLiteral(": сервер не сообщил IP адрес...");
}

bool IsImportantLine(const QString& line, bool showTime, const QString& ownNick)
{
    const QString afterTime = showTime ? dropThrough(line, QLatin1Char(')')) : line;
    const qsizetype colon = afterTime.indexOf(QLatin1Char(':'));
    const QString speaker = colon < 0 ? QString() : afterTime.left(colon);
    const QString said = dropThrough(afterTime, QLatin1Char(':'));
    return said.startsWith(QLatin1Char('!')) && speaker != ownNick;
}

QString TopicCaption(const QString& topic, const QString& baseCaption)
{
    if (TrimControls(topic).isEmpty()) {
        return baseCaption;
    }
    return topic + QLatin1String(" - ") + baseCaption;
}

QString TopicOfCaption(const QString& caption, const QString& baseCaption)
{
    return caption.left(std::max<qsizetype>(0, caption.size() - baseCaption.size() - 3));
}

} // namespace kovrel::lines

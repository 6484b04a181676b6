// SPDX-License-Identifier: GPL-3.0-or-later
#include "outgoing_message.h"

#include "chat_lines.h"
#include "commands.h"
#include "wire_text.h"

#include <QStringList>

namespace kovrel {
namespace {

QString flag(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

QString commandText(std::string_view command)
{
    return QString::fromLatin1(command.data(), static_cast<qsizetype>(command.size()));
}

} // namespace

OutgoingCheck CheckOutgoingText(const QString& text)
{
    if (lines::TrimControls(text).isEmpty()) {
        return OutgoingCheck::Blank;
    }
    if (text.contains(QLatin1Char('|'))) {
        return OutgoingCheck::ForbiddenCharacter;
    }
    return OutgoingCheck::Ready;
}

QString AppendInputText(const QString& current, const QString& text)
{
    const bool joins = current.isEmpty() || current.endsWith(QLatin1Char(' '));
    return current + (joins ? QString() : QStringLiteral(" ")) + text;
}

ChatFields BuildChatFields(const TextStyle& style, const QString& ownNick,
                           const std::optional<QString>& partner, bool important, const QString& text)
{
    // The style names its kind of message; a private one also names sender and addressee.
    const QStringList kind = partner ? QStringList{commandText(command::PrivatUser), ownNick, *partner}
                                     : QStringList{commandText(command::AllUser)};
    const QStringList styleValues = {QString::number(style.charset & 0xff),
                                     QString::number(style.color),
                                     QString::number(style.height),
                                     flag(style.bold),
                                     flag(style.italic),
                                     flag(style.underline),
                                     flag(style.strikeout),
                                     style.name};
    const QString said = (important ? QStringLiteral("!") : QString()) + text;
    const QStringList addressing = partner ? QStringList{ownNick, *partner} : QStringList{ownNick};
    return {WireMessage(command::TextStyle, kind + styleValues),
            WireMessage(partner ? command::PrivatUser : command::AllUser, addressing + QStringList{said})};
}

} // namespace kovrel

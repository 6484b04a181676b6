#include "outgoing_message.h"

#include "chat_lines.h"

#include <QStringList>

namespace kovrel {
namespace {

QString flag(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
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

ChatFields BuildChatFields(const TextStyle& style, const QString& ownNick, const QString& partner,
                           bool important, const QString& text)
{
    // The style names its recipient as the message does, but a public message names only its sender.
    const QStringList recipient = partner.isEmpty()
                                      ? QStringList{QStringLiteral("AllUser")}
                                      : QStringList{QStringLiteral("PrivatUser"), ownNick, partner};
    const QStringList styleValues = {QString::number(style.charset & 0xff),
                                     QString::number(style.color),
                                     QString::number(style.height),
                                     flag(style.bold),
                                     flag(style.italic),
                                     flag(style.underline),
                                     flag(style.strikeout),
                                     style.name};
    const QStringList addressed =
        partner.isEmpty() ? QStringList{QStringLiteral("AllUser"), ownNick} : recipient;
    const QString said = (important ? QStringLiteral("!") : QString()) + text;
    return {QStringLiteral("TextStyle|") + (recipient + styleValues).join(QLatin1Char('|')),
            (addressed + QStringList{said}).join(QLatin1Char('|'))};
}

} // namespace kovrel

// The receive path of the main window: every field that arrives is dispatched to the handlers below.

#include "chat_main_form.h"

#include "chat_lines.h"
#include "message.h"
#include "wire_text.h"

#include <QTabWidget>
#include <QTextEdit>
#include <QTreeWidget>

namespace kovrel {

namespace {

// Errors of the receive path are reported as the socket's, whose data event was being handled.
const QString kSocketClassName = QStringLiteral("TClientSocket");

} // namespace

void TChatMainForm::ClientSocketRead()
{
    // Fields are taken one at a time: a handler that waits for an answer reads on inside its wait, and
    // the fields must still be handled in the order they came.
    while (std::optional<std::string> field = m_session->connection().takeField()) {
        // A malformed field is reported and skipped; its neighbours are still handled.
        try {
            DispatchMessage(*field, *this);
        } catch (const ConversionError& error) {
            ReportAppError(fromWire(error.what()), kSocketClassName);
        } catch (const std::exception& error) {
            ReportAppError(QString::fromUtf8(error.what()), kSocketClassName);
        }
    }
}

void TChatMainForm::onAddUser(std::string_view nick)
{
    const QString name = fromWire(nick);
    AddRosterEntry(name);
    writeArrivalOrDeparture(name, lines::Arrival(lines::TimePrefix(), name));
}

void TChatMainForm::onGetUser(std::string_view nick)
{
    AddRosterEntry(fromWire(nick));
}

void TChatMainForm::onDelUser(std::string_view nick)
{
    const QString name = fromWire(nick);
    const QString prefix = lines::TimePrefix();
    if (const std::optional<std::size_t> index = m_roster.remove(name)) {
        delete UserList->takeTopLevelItem(static_cast<int>(*index));
    }
    m_session->onLeaveSeen();
    writeArrivalOrDeparture(name, lines::Departure(prefix, name));
}

void TChatMainForm::onTopic(std::string_view topic)
{
    ShowTopic(fromWire(topic));
}

void TChatMainForm::onGetInfo(std::string_view)
{
    // Cards of other users are shown by the personal card window, which is not part of this client yet;
    // the client never asks for one, so an unasked card is dropped.
}

void TChatMainForm::onTextStyle(const TextStyleValues& style)
{
    m_receivedStyle = ReceivedTextStyle(style);
}

void TChatMainForm::onClearTextStyle()
{
    m_receivedStyle = TextStyle{};
}

void TChatMainForm::onPublicMessage(std::string_view sender, std::string_view text)
{
    const QString prefix = lines::TimePrefix();
    const QString from = fromWire(sender);
    if (m_roster.isIgnored(from)) {
        return;
    }
    const QString said = fromWire(text);
    WriteChatLine(Common, lines::ChatMessage(prefix, from, said), 1);
    notifyIncoming(m_session->nick(), 0);
}

void TChatMainForm::onPrivateMessage(std::string_view from, std::string_view to, std::string_view text)
{
    const QString prefix = lines::TimePrefix();
    const QString sender = fromWire(from);
    const bool ownEcho = sender == m_session->nick();
    if (!ownEcho && m_roster.isIgnored(sender)) {
        return;
    }
    const QString partner = ownEcho ? fromWire(to) : sender;
    if (FindPrivatePage(partner) < 0) {
        OpenPrivatePage(partner);
    }
    const int page = FindPrivatePage(partner);
    const QString said = fromWire(text);
    WriteChatLine(conversationControl(page), lines::ChatMessage(prefix, sender, said), 1);
    notifyIncoming(partner, page);
}

void TChatMainForm::onDisconnect()
{
    if (m_session->isConnected()) {
        Button1Click();
    }
}

void TChatMainForm::onExistUser(std::string_view answer)
{
    m_session->onExistAnswer(fromWire(answer));
}

void TChatMainForm::onGetNick()
{
    m_session->sendMessage(QStringLiteral("GetNick"), {m_session->nick()});
}

void TChatMainForm::onStateUser(std::string_view nick, std::int32_t code)
{
    if (const std::optional<std::size_t> index = m_roster.find(fromWire(nick))) {
        m_roster.at(*index).state = code;
        refreshRosterItem(*index);
    }
}

void TChatMainForm::onGetIPUser(std::string_view address)
{
    m_session->onAddressAnswer(fromWire(address));
}

void TChatMainForm::onTestConnection(std::string_view message)
{
    // Sent back byte for byte.
    m_session->connection().sendPacket({message});
}

void TChatMainForm::onUnknown(std::string_view command, std::string_view rest)
{
    WriteChatLine(Common, lines::UnknownCommand(lines::TimePrefix(), fromWire(command), fromWire(rest)), 0);
}

} // namespace kovrel

// SPDX-License-Identifier: GPL-3.0-or-later
#include "chat_client.h"

#include "chat_lines.h"
#include "commands.h"
#include "message.h"
#include "outgoing_message.h"
#include "settings_cache.h"
#include "settings_layout.h"
#include "wire_text.h"

namespace kovrel {

namespace {

static_assert(kInfoFields.size() == PersonalCard::kFieldCount, "a card travels with all its stored fields");

// Errors of the receive path are reported as the socket's, whose data was being handled.
const QString kSocketClassName = QStringLiteral("TClientSocket");
const QString kNotSentOffline = QStringLiteral("Сообщение не отправлено: нет связи с сервером.");

} // namespace

PersonalCard ReceivedCard(std::string_view values)
{
    MessageValues fields(values);
    PersonalCard card;
    card.nick = fromWire(fields.next());
    for (int field = 0; field < PersonalCard::kDescription; ++field) {
        card.fields[static_cast<std::size_t>(field)] = fromWire(fields.next());
    }
    card.fields[PersonalCard::kDescription] = fromWire(fields.rest());
    return card;
}

ChatClient::ChatClient(ChatView& view, QObject* parent)
    : QObject(parent), m_view(view), m_session(*this, this)
{
    connect(&m_session.connection(), &ChatConnection::fieldsReceived, this, &ChatClient::scheduleDispatch);
    connect(&m_networkWatch, &NetworkWatch::networkReturned, &m_session, &ChatSession::networkReturned);
    connect(&m_session, &ChatSession::onlineChanged, this, &ChatClient::onlineChanged);
}

SendResult ChatClient::checkSend(const QString& text) const
{
    if (!isConnected()) {
        return SendResult::NotConnected;
    }
    switch (CheckOutgoingText(text)) {
    case OutgoingCheck::Blank:
        return SendResult::Blank;
    case OutgoingCheck::ForbiddenCharacter:
        return SendResult::ForbiddenCharacter;
    case OutgoingCheck::Ready:
        break;
    }
    return SendResult::Sent;
}

SendResult ChatClient::send(const std::optional<QString>& partner, const QString& text)
{
    if (const SendResult check = checkSend(text); check != SendResult::Sent) {
        if (check == SendResult::NotConnected && CheckOutgoingText(text) == OutgoingCheck::Ready) {
            writeLine(partner, lines::TimePrefix() + kNotSentOffline, false);
        }
        return check;
    }
    const ChatFields fields = BuildChatFields(m_outputStyle, nick(), partner, m_markImportant, text);
    m_session.connection().sendPacket({fields.style, fields.message});
    return SendResult::Sent;
}

int ChatClient::ownCopiesTo(const QString& partner) const
{
    const auto found = m_ownCopies.find(partner);
    return found == m_ownCopies.end() ? 0 : found->second;
}

bool ChatClient::waitForOwnCopy(const QString& partner, int seen, std::chrono::milliseconds deadline)
{
    // A closed connection brings no copy: the wait ends with it.
    m_session.waitUntil([&] { return ownCopiesTo(partner) > seen || !isConnected(); }, deadline);
    return ownCopiesTo(partner) > seen;
}

void ChatClient::setOutputStyle(const TextStyle& style)
{
    m_outputStyle = style;
    SaveTextStyle(kOutputStyleSet, style);
}

void ChatClient::applyTextStyles(const TextStyle& platformFont)
{
    m_receivedStyle.reset();
    m_outputStyle = LoadTextStyle(kOutputStyleSet, platformFont);
}

void ChatClient::conversationShown(const std::optional<QString>& partner)
{
    m_shownPartner = partner;
    if (const std::optional<int> row = entryOf(partner)) {
        m_roster.setIncoming(*row, false);
    }
}

void ChatClient::changeState(int code)
{
    m_chosenState = code;
    m_session.sendMessage(command::StateUser, {nick(), QString::number(code)});
}

// Offline, the user list shows every entry greyed until the server's list replaces it. A log-in of the
// user's own starts as "on line"; one that replaced a lost connection restores the state chosen before.
void ChatClient::onlineChanged(bool online, bool automatic)
{
    m_roster.setOnline(online);
    if (!online) {
        return;
    }
    if (!automatic) {
        m_chosenState = OnLine;
    } else if (m_chosenState != OnLine) {
        changeState(m_chosenState);
    }
}

void ChatClient::queryAddress(const QString& nick)
{
    // The wait runs the event loop, and the user list passes a nick of the roster, which a departure or a
    // lost connection meanwhile takes away: the answer is written under a copy.
    const QString asked = nick;
    const std::optional<QString> address = m_session.queryAddress(asked);
    writeSystemLine(address ? lines::AddressAnswer(asked, *address) : lines::NoAddressAnswer(asked));
}

void ChatClient::refreshRoster()
{
    m_roster.clear();
    m_session.sendMessage(command::GetUser, {nick()});
}

void ChatClient::forgetServerState()
{
    m_roster.clear();
    m_roster.addOrReuse(nick());
    m_receivedStyle.reset();
    m_ownCopies.clear();
    if (!m_topic.isEmpty()) {
        m_topic.clear();
        m_view.showTopic(m_topic);
    }
}

void ChatClient::changeTopic(const QString& topic)
{
    if (topic != m_topic) {
        m_session.sendMessage(command::Topic, {topic});
    }
}

void ChatClient::requestCard(const QString& nick)
{
    m_session.sendMessage(command::GetInfo, {nick});
}

PersonalCard ChatClient::ownCard() const
{
    PersonalCard card{nick(), {}};
    for (std::size_t field = 0; field < kInfoFields.size(); ++field) {
        card.fields[field] = ReadInfoField(kInfoFields[field]);
    }
    return card;
}

void ChatClient::saveOwnCard(const PersonalCard& card)
{
    for (std::size_t field = 0; field < kInfoFields.size(); ++field) {
        WriteInfoField(kInfoFields[field], card.fields[field]);
    }
    if (isConnected()) {
        m_session.SendPersonalCard();
    }
}

void ChatClient::reportError(const QString& message, const QString& className)
{
    writeLine(std::nullopt, lines::ErrorReport(lines::TimePrefix(), message, className), false);
}

void ChatClient::writeEventLine(const QString& text)
{
    writeLine(std::nullopt, lines::TimePrefix() + text, false);
}

void ChatClient::writeSystemLine(const QString& line)
{
    writeLine(std::nullopt, line, false);
}

void ChatClient::writeLine(const std::optional<QString>& partner, const QString& text, bool inReceivedStyle)
{
    writeLine(partner, text, inReceivedStyle, ReadConfigFlag(ConfigFlag::ShowTime));
}

void ChatClient::writeLine(const std::optional<QString>& partner, const QString& text, bool inReceivedStyle,
                           bool showTime)
{
    m_view.writeLine({partner, text, inReceivedStyle ? m_receivedStyle : std::nullopt,
                      ReadConfigFlag(ConfigFlag::FromUpToDown)});
    // After the line is written: whatever the pop-up does, the lines keep their order.
    if (lines::IsImportantLine(text, showTime, nick())) {
        m_view.showImportantMessage(text);
    }
}

void ChatClient::writeToCommonAndPage(const QString& nick, const QString& line)
{
    writeLine(std::nullopt, line, false);
    writeLine(nick, line, false);
}

void ChatClient::markIncoming(const std::optional<QString>& conversation, const QString& line)
{
    if (conversation == m_shownPartner && !m_alerts.isMinimized()) {
        return;
    }
    if (const std::optional<int> row = entryOf(conversation)) {
        m_roster.markUnseenLine(*row, line);
    }
}

// The own entry stands for the common conversation, a partner's entry for the private one.
std::optional<int> ChatClient::entryOf(const std::optional<QString>& conversation) const
{
    return m_roster.find(conversation.value_or(nick()));
}

const CommandRoute<ChatClient> ChatClient::kCommands[] = {
    {command::AddUser, &ChatClient::onAddUser},
    {command::GetUser, &ChatClient::onGetUser},
    {command::DelUser, &ChatClient::onDelUser},
    {command::Topic, &ChatClient::onTopic},
    {command::GetInfo, &ChatClient::onGetInfo},
    {command::TextStyle, &ChatClient::onTextStyle},
    {command::ClearTextStyle, &ChatClient::onClearTextStyle},
    {command::AllUser, &ChatClient::onPublicMessage},
    {command::PrivatUser, &ChatClient::onPrivateMessage},
    {command::Disconnect, &ChatClient::onDisconnect},
    {command::ExistUser, &ChatClient::onExistUser},
    {command::Auth, &ChatClient::onAuth},
    {command::GetNick, &ChatClient::onGetNick},
    {command::StateUser, &ChatClient::onStateUser},
    {command::GetIPUser, &ChatClient::onGetIPUser},
    {command::TestConnection, &ChatClient::onTestConnection},
};

void ChatClient::scheduleDispatch()
{
    // Handled once the socket's signal is over: a handler that waits must see the fields behind it.
    if (!std::exchange(m_dispatchScheduled, true)) {
        QMetaObject::invokeMethod(this, &ChatClient::dispatchReceived, Qt::QueuedConnection);
    }
}

void ChatClient::dispatchReceived()
{
    m_dispatchScheduled = false;
    // Every line written reads a few display settings; the file is examined once for all the fields.
    const SettingsReadBatch settingsReads;
    // One field at a time: a handler that waits handles the following fields inside its wait, and this
    // loop then finds them gone, so that every field is handled once and in order.
    while (std::optional<std::string> field = m_session.connection().takeField()) {
        dispatchField(*field);
        m_session.wakeWaits();
    }
}

void ChatClient::dispatchField(const std::string& field)
{
    // A malformed field is reported and skipped; its neighbours are still handled.
    try {
        DispatchMessage<ChatClient>(field, kCommands, *this, &ChatClient::onUnknown);
    } catch (const ConversionError& error) {
        reportError(fromWire(error.what()), kSocketClassName);
    } catch (const std::exception& error) {
        reportError(QString::fromUtf8(error.what()), kSocketClassName);
    }
}

void ChatClient::onAddUser(std::string_view nick)
{
    const QString name = fromWire(nick);
    m_roster.addOrReuse(name);
    writeToCommonAndPage(name, lines::Arrival(lines::TimePrefix(), name));
}

void ChatClient::onGetUser(std::string_view nick)
{
    m_roster.addOrReuse(fromWire(nick));
}

void ChatClient::onDelUser(std::string_view nick)
{
    const QString name = fromWire(nick);
    const QString prefix = lines::TimePrefix();
    m_roster.remove(name);
    m_session.onLeaveSeen();
    writeToCommonAndPage(name, lines::Departure(prefix, name));
}

void ChatClient::onTopic(std::string_view topic)
{
    const QString received = fromWire(topic);
    // A blank topic shows no topic at all.
    m_topic = lines::TrimControls(received).isEmpty() ? QString() : received;
    m_view.showTopic(m_topic);
}

void ChatClient::onGetInfo(std::string_view card)
{
    m_view.showCard(ReceivedCard(card));
}

void ChatClient::onTextStyle(std::string_view values)
{
    m_receivedStyle = ReceivedTextStyle(ParseTextStyle(values));
}

void ChatClient::onClearTextStyle(std::string_view)
{
    m_receivedStyle.reset();
}

void ChatClient::onPublicMessage(std::string_view values)
{
    MessageValues message(values);
    const std::string_view sender = message.next();
    const std::string_view text = message.rest();
    const bool showTime = ReadConfigFlag(ConfigFlag::ShowTime);
    const QString prefix = lines::TimePrefix(showTime, QTime::currentTime());
    const QString from = fromWire(sender);
    if (m_roster.isIgnored(from)) {
        return;
    }
    const QString said = fromWire(text);
    writeLine(std::nullopt, lines::ChatMessage(prefix, from, said), true, showTime);
    const QString unprefixed = lines::ChatMessage(QString(), from, said);
    markIncoming(std::nullopt, unprefixed);
    m_alerts.messageArrived(std::nullopt, unprefixed);
}

void ChatClient::onPrivateMessage(std::string_view values)
{
    MessageValues message(values);
    const std::string_view from = message.next();
    const std::string_view to = message.next();
    const std::string_view text = message.rest();
    const bool showTime = ReadConfigFlag(ConfigFlag::ShowTime);
    const QString prefix = lines::TimePrefix(showTime, QTime::currentTime());
    const QString sender = fromWire(from);
    // The server's copy of our own message belongs to the conversation with its addressee.
    const bool ownCopy = sender == nick();
    if (!ownCopy && m_roster.isIgnored(sender)) {
        return;
    }
    const QString partner = ownCopy ? fromWire(to) : sender;
    if (ownCopy) {
        ++m_ownCopies[partner];
    }
    m_view.openConversation(partner);
    const QString said = fromWire(text);
    writeLine(partner, lines::ChatMessage(prefix, sender, said), true, showTime);
    const QString unprefixed = lines::ChatMessage(QString(), sender, said);
    markIncoming(partner, unprefixed);
    m_alerts.messageArrived(partner, unprefixed);
}

void ChatClient::onDisconnect(std::string_view)
{
    if (isConnected()) {
        m_session.leaveAtServersRequest();
    }
}

void ChatClient::onExistUser(std::string_view answer)
{
    m_session.onExistAnswer(fromWire(answer));
}

void ChatClient::onAuth(std::string_view answer)
{
    m_session.onAuthAnswer(fromWire(answer));
}

void ChatClient::onGetNick(std::string_view)
{
    m_session.sendMessage(command::GetNick, {nick()});
}

void ChatClient::onStateUser(std::string_view values)
{
    MessageValues message(values);
    const std::string_view nick = message.next();
    const std::int32_t code = ParseInteger(message.rest());
    if (const std::optional<int> row = m_roster.find(fromWire(nick))) {
        m_roster.setState(*row, code);
    }
}

void ChatClient::onGetIPUser(std::string_view address)
{
    m_session.onAddressAnswer(fromWire(address));
}

void ChatClient::onTestConnection(std::string_view values)
{
    // Sent back byte for byte: a field without "|" is no command at all, so the probe had one.
    m_session.connection().sendPacket({BuildMessage(command::TestConnection) + std::string(values)});
}

void ChatClient::onUnknown(std::string_view command, std::string_view values)
{
    writeLine(std::nullopt, lines::UnknownCommand(lines::TimePrefix(), fromWire(command), fromWire(values)),
              false);
}

} // namespace kovrel

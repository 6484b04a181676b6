// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chat_session.h"
#include "chat_view.h"
#include "dispatcher.h"
#include "message_alerts.h"
#include "network_watch.h"
#include "personal_card.h"
#include "roster_model.h"
#include "text_style.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <map>
#include <optional>
#include <string_view>

namespace kovrel {

enum class SendResult
{
    Sent,
    // Offline: nothing is sent and nothing said.
    NotConnected,
    // Nothing but blanks, tabs and line breaks.
    Blank,
    // "|" would split the message on the wire; the user is told.
    ForbiddenCharacter,
};

// A card as "GetInfo" answers it: the nick and the eleven fields, joined by "|", taken from the left;
// whatever is left after the eleventh "|" is the description. Missing fields are empty.
PersonalCard ReceivedCard(std::string_view values);

// The client core. Owns the connection and its session, answers the server's probes and the answers its
// own waits expect, keeps the roster, the received text style and the topic, and tells the window what
// to show through ChatView. Received fields are handled one at a time in arrival order, outside the
// socket's signal, so that a handler may wait for an answer (a log-out asked for by the server, a message
// box) and still see every field that arrives meanwhile.
class ChatClient : public QObject, private SessionHost
{
    Q_OBJECT

public:
    explicit ChatClient(ChatView& view, QObject* parent = nullptr);

    ChatSession& session() { return m_session; }
    RosterModel& roster() { return m_roster; }
    MessageAlerts& alerts() { return m_alerts; }
    const QString& nick() const { return m_session.nick(); }
    bool isConnected() const { return m_session.isConnected(); }

    // What the log-in button does (also automatic log-in, the server's "Disconnect" and closing).
    void ToggleLogin() { m_session.ToggleLogin(); }

    // A chat message from the user: without a partner to the common conversation. The line shows when the
    // server sends it back; it is marked important while setMarkImportant() says so. Offline, a line in that
    // conversation says that the message was not sent.
    SendResult send(const std::optional<QString>& partner, const QString& text);
    // What send() would answer for `text`, without sending anything.
    SendResult checkSend(const QString& text) const;
    // How many of our private messages to `partner` the server has sent back so far.
    int ownCopiesTo(const QString& partner) const;
    // Waits, seeing every field that arrives meanwhile, until the server has sent back more than `seen`
    // of them; false when the deadline passed first.
    bool waitForOwnCopy(const QString& partner, int seen, std::chrono::milliseconds deadline);
    const TextStyle& outputStyle() const { return m_outputStyle; }
    // The user's own style, stored at once as the attribute set "OutputAttr".
    void setOutputStyle(const TextStyle& style);
    // The received style starts over and the own style is reloaded from the store over `platformFont`.
    void applyTextStyles(const TextStyle& platformFont);

    // The conversation now shown (none: the common one): its incoming mark is cleared.
    void conversationShown(const std::optional<QString>& partner);
    // A conversation opened on a page of its own, or shown again after a multi-recipient send, is shown,
    // but its mark stays.
    void conversationOpened(const std::optional<QString>& partner) { m_shownPartner = partner; }
    void setMinimized(bool minimized) { m_alerts.setMinimized(minimized); }
    // Whether the user's lines go out marked important: the importance box, which the greeting and the
    // farewell follow too.
    void setMarkImportant(bool important) { m_markImportant = important; }

    // Announces the user's state; an automatic log-in announces it again.
    void changeState(int code);
    // Asks the server for a user's address and writes the answer into the common conversation.
    void queryAddress(const QString& nick);
    // Empties the roster and asks for the list of present users again.
    void refreshRoster();
    // Forgets what the server's fields have set up since the log-in: every roster entry but the own one, the
    // received text style, the topic (the window is told there is none) and the count of own private copies.
    // The connection stays as it is.
    void forgetServerState();
    // The topic shown (empty when none is); changeTopic() asks the server for a new one when it differs.
    const QString& topic() const { return m_topic; }
    void changeTopic(const QString& topic);

    // Asks the server for a user's card; it is shown when the answer comes.
    void requestCard(const QString& nick);
    // The user's own card as stored, under the current nick.
    PersonalCard ownCard() const;
    // Stores the own card and, while connected, publishes it.
    void saveOwnCard(const PersonalCard& card);

    // An error that escaped a handler: written into the common conversation.
    void reportError(const QString& message, const QString& className) override;
    // Runs a handler of a user action. An error escaping it is reported, named by `className`, so that no
    // exception reaches Qt's delivery of the event.
    template <typename Handler> void reportingErrors(const QString& className, Handler&& handler)
    {
        try {
            std::forward<Handler>(handler)();
        } catch (const std::exception& error) {
            reportError(QString::fromUtf8(error.what()), className);
        }
    }

private:
    // SessionHost.
    void writeEventLine(const QString& text) override;
    void writeSystemLine(const QString& line) override;
    void ownNickChanged(const QString& nick) override { m_roster.setOwnNick(nick); }
    void clearRoster() override { m_roster.clear(); }
    void sendPublicLine(const QString& text) override { send(std::nullopt, text); }
    void onlineChanged(bool online, bool automatic);

    // Received fields: each command's handler takes its values as wire text.
    static const CommandRoute<ChatClient> kCommands[];
    void scheduleDispatch();
    void dispatchReceived();
    void dispatchField(const std::string& field);
    void onAddUser(std::string_view nick);
    void onGetUser(std::string_view nick);
    void onDelUser(std::string_view nick);
    void onTopic(std::string_view topic);
    // The nick and the eleven card fields, still joined by "|".
    void onGetInfo(std::string_view card);
    void onTextStyle(std::string_view values);
    void onClearTextStyle(std::string_view);
    void onPublicMessage(std::string_view values);
    void onPrivateMessage(std::string_view values);
    void onDisconnect(std::string_view);
    void onExistUser(std::string_view answer);
    void onAuth(std::string_view answer);
    void onGetNick(std::string_view);
    void onStateUser(std::string_view values);
    void onGetIPUser(std::string_view address);
    void onTestConnection(std::string_view values);
    void onUnknown(std::string_view command, std::string_view values);

    // Every line of a conversation goes through here: the page, then the important-message test, which
    // needs to know whether lines carry the time.
    void writeLine(const std::optional<QString>& partner, const QString& text, bool inReceivedStyle);
    void writeLine(const std::optional<QString>& partner, const QString& text, bool inReceivedStyle,
                   bool showTime);
    void writeToCommonAndPage(const QString& nick, const QString& line);
    // A line (sender, ": ", text) arrived in a conversation: unless it is in view, its entry is marked.
    void markIncoming(const std::optional<QString>& conversation, const QString& line);
    std::optional<int> entryOf(const std::optional<QString>& conversation) const;

    ChatView& m_view;
    RosterModel m_roster;
    ChatSession m_session;
    NetworkWatch m_networkWatch;
    std::optional<TextStyle> m_receivedStyle;
    TextStyle m_outputStyle;
    QString m_topic;
    std::optional<QString> m_shownPartner;
    std::map<QString, int> m_ownCopies;
    MessageAlerts m_alerts;
    bool m_dispatchScheduled = false;
    bool m_markImportant = false;
    // The state the user chose last: a connection replaced by automatic log-in keeps it.
    int m_chosenState = OnLine;
};

} // namespace kovrel

#pragma once

#include "answer_wait.h"
#include "chat_connection.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <optional>
#include <string_view>

namespace kovrel {

class ChatView;

// What the session needs of the client core that owns it.
class SessionHost
{
public:
    virtual ~SessionHost() = default;

    // A connection event into the common conversation, after the time prefix.
    virtual void writeEventLine(const QString& text) = 0;
    // A line into the common conversation as it stands.
    virtual void writeSystemLine(const QString& line) = 0;
    // The nick the user is known by: loaded at each log-in, swapped for the spare nick when taken.
    virtual void ownNickChanged(const QString& nick) = 0;
    // Admitted: the roster is rebuilt from the server's list that follows.
    virtual void clearRoster() = 0;
    // An error that escaped one of the session's own handlers (timers, socket events).
    virtual void reportError(const QString& message, const QString& className) = 0;
};

// The connection's life: log-in (connect, admission check, announcement, greeting, card, keep-alive),
// log-out (farewell, "DelUser", wait for the server's answer), socket events as system lines, automatic
// log-in and the answers that a waiting step expects. Every wait keeps the event loop running, sees the
// answers that arrive during it whatever started it, and ends at a deadline.
class ChatSession : public QObject
{
    Q_OBJECT

public:
    // The waits of log-in, log-out and the existence query.
    static constexpr std::chrono::milliseconds kAnswerWait{6000};
    // The address query; an answer that never comes must not hang the caller.
    static constexpr std::chrono::milliseconds kAddressWait{10000};
    static constexpr std::chrono::milliseconds kKeepAliveInterval{60000};
    static constexpr std::chrono::milliseconds kFirstAutoLogin{1000};
    static constexpr std::chrono::milliseconds kAutoLoginInterval{60000};

    ChatSession(SessionHost& host, ChatView& view, QObject* parent = nullptr);

    ChatConnection& connection() { return m_connection; }
    bool isConnected() const { return m_connection.isConnected(); }
    bool isLoggingIn() const { return FBusy; }
    bool isLoggingOut() const { return m_leaving; }
    const QString& nick() const { return FNick; }

    // What the log-in button does: logs out when connected and logs in otherwise, with the controls that
    // would start another one off meanwhile. Nothing happens while a log-in or log-out runs.
    void ToggleLogin();
    // Ends a log-in that is still under way: the connection is closed and its waits give up.
    void cancelLogIn();
    void LoadConnectionSettings();

    // Sends one message (a packet of one field) when connected.
    void sendMessage(std::string_view command, const QStringList& values = {});
    // "SetInfo" with the nick and the eleven stored card fields.
    void SendPersonalCard();

    // Answers that the receive path hands over; wakeWaits() then lets a waiting step see them.
    void onExistAnswer(const QString& answer) { m_existsAnswer = answer == QLatin1String("-1") ? -1 : 1; }
    void onAddressAnswer(const QString& answer) { m_addressAnswer = answer; }
    void onLeaveSeen() { FLeaveSeen = true; }
    void wakeWaits() { m_waits.wake(); }
    // Waits, with events flowing, until `done` holds; false on the deadline.
    bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline);

    // Asks the server for a user's address; nothing when no answer came in time.
    std::optional<QString> queryAddress(const QString& nick);

    // Automatic log-in: the first attempt after a second, then every minute while offline. A connection
    // lost while online is replaced after a second too.
    void setAutoLogin(bool on);
    // The network came back: with automatic log-in on, an offline client logs in at once; an online one
    // probes its connection, which may not have survived the outage.
    void networkReturned();
    bool autoLoginActive() const { return StartTimer.isActive(); }
    // Tests shorten the intervals; the defaults are the ones above.
    void setAutoLoginInterval(std::chrono::milliseconds interval) { m_autoLoginInterval = interval; }
    void setKeepAliveInterval(std::chrono::milliseconds interval) { ConnectionTimer.setInterval(interval); }
    void setAnswerWaits(std::chrono::milliseconds answer, std::chrono::milliseconds address);

signals:
    // A log-in or log-out has ended, however it ended.
    void settled();

private:
    void logIn();
    void logOut();
    void logInSoon();
    void setNick(const QString& nick);
    bool waitForConnection();
    bool AdmitLogin(const QString& localAddress);
    bool QueryExists(const QString& value);
    void refuseLogin(const QString& line);
    void ClientSocketConnecting();
    void ClientSocketConnect();
    void ClientSocketDisconnect();
    void ClientSocketError(SocketErrorKind kind, int code);
    void ConnectionTimerTimer();
    void StartTimerTimer();
    // Runs a handler of a timer or socket event; an error escaping it is reported, not thrown into Qt.
    template <typename Handler> void reporting(const char* className, Handler handler);

    SessionHost& m_host;
    ChatView& m_view;
    ChatConnection m_connection;
    AnswerWaits m_waits;
    QTimer ConnectionTimer;
    QTimer StartTimer;
    std::chrono::milliseconds m_autoLoginInterval = kAutoLoginInterval;
    std::chrono::milliseconds m_answerWait = kAnswerWait;
    std::chrono::milliseconds m_addressWait = kAddressWait;

    QString FHost;
    QString FAddress;
    QString FPort;
    QString FNick;
    QString FAnotherNick;

    bool FBusy = false;
    bool m_leaving = false;
    // Logged in, from the end of a log-in until the connection ends.
    bool m_online = false;
    bool FConnectSeen = false;
    bool FSocketFailed = false;
    bool FLeaveSeen = false;
    int m_existsAnswer = 0;
    std::optional<QString> m_addressAnswer;
};

} // namespace kovrel

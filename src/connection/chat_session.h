// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "answer_wait.h"
#include "chat_connection.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <array>
#include <chrono>
#include <optional>
#include <string_view>

namespace kovrel {

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
    // The greeting and the farewell: sent to the common conversation as the user's own lines are.
    virtual void sendPublicLine(const QString& text) = 0;
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
    // Automatic log-in tries again after 1, 2, 4, 8, 16 and 30 units, then every 60; the unit is a second.
    static constexpr std::array<int, 7> kAutoLoginBackOff{1, 2, 4, 8, 16, 30, 60};
    static constexpr std::chrono::milliseconds kAutoLoginUnit{1000};

    ChatSession(SessionHost& owner, QObject* parent = nullptr);

    ChatConnection& connection() { return m_connection; }
    bool isConnected() const { return m_connection.isConnected(); }
    bool isLoggingIn() const { return m_loggingIn; }
    bool isLoggingOut() const { return m_leaving; }
    const QString& nick() const { return m_nick; }

    // What the log-in button does: logs out when connected and logs in otherwise, with the controls that
    // would start another one off meanwhile. Nothing happens while a log-in or log-out runs.
    void ToggleLogin();
    // Ends a log-in that is still under way: the connection is closed and its waits give up.
    void cancelLogIn();
    // The server asked us to log out, as it does when it stops or restarts: the log-out runs, and with
    // automatic log-in on the connection counts as lost, to be replaced as soon as the server is back.
    void leaveAtServersRequest();
    void LoadConnectionSettings();

    // Sends one message (a packet of one field) when connected.
    void sendMessage(std::string_view command, const QStringList& values = {});
    // "SetInfo" with the nick and the eleven stored card fields.
    void SendPersonalCard();

    // Answers that the receive path hands over; wakeWaits() then lets a waiting step see them.
    void onExistAnswer(const QString& answer) { m_existsAnswer = answer == QLatin1String("-1") ? -1 : 1; }
    void onAddressAnswer(const QString& answer) { m_addressAnswer = answer; }
    void onLeaveSeen() { m_leaveSeen = true; }
    void onAuthAnswer(const QString& answer) { m_authAnswer = answer; }
    void wakeWaits() { m_waits.wake(); }
    // Waits, with events flowing, until `done` holds; false on the deadline.
    bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline);

    // The user's answer to serverTrustNeeded(): a trusted certificate is kept as the one of that server,
    // and the log-in is tried again at once. Refused, automatic log-in stays paused (it would only ask
    // again) until the user logs in or the network comes back.
    void answerTrust(const TlsFailure& question, bool trusted);

    // The password the user typed when passwordNeeded() asked: kept for this run (and in the secret store
    // when there is one), and the log-in is tried again at once.
    void providePassword(const QString& password);

    // Asks the server for a user's address; nothing when no answer came in time.
    std::optional<QString> queryAddress(const QString& nick);

    // Automatic log-in: the first attempt after a second, then with the back-off above while offline. A
    // connection lost while online is replaced the same way, starting again at a second.
    void setAutoLogin(bool on);
    // The network came back: with automatic log-in on, an offline client logs in at once; an online one
    // probes its connection, which may not have survived the outage.
    void networkReturned();
    bool autoLoginActive() const { return m_autoLoginOn; }
    // How long automatic log-in waits before its next attempt.
    std::chrono::milliseconds autoLoginDelay() const { return m_startTimer.intervalAsDuration(); }
    // Tests shorten the intervals; the defaults are the ones above.
    void setAutoLoginUnit(std::chrono::milliseconds unit) { m_autoLoginUnit = unit; }
    void setKeepAliveInterval(std::chrono::milliseconds interval) { m_connectionTimer.setInterval(interval); }
    void setAnswerWaits(std::chrono::milliseconds answer, std::chrono::milliseconds address);

signals:
    // While a log-in or log-out runs, the controls that would start another one are off.
    void loginRunningChanged(bool running);
    // What the log-in button reads: "выход" online, "вход" after a log-out, "Connect" once a connection
    // ended.
    void loginCaptionChanged(const QString& caption);
    // Connecting: the wait shows as the busy pointer.
    void waitingChanged(bool waiting);
    // A log-in found no server set up yet: the user is to set one up before the next attempt.
    void serverSetupNeeded();
    // Logged in (by the user, or by automatic log-in) or no longer.
    void onlineChanged(bool online, bool automatic);
    // A log-in or log-out has ended, however it ended.
    void settled();
    // The connection is encrypted now (`details` name the protocol and the certificate), or no longer.
    void encryptionChanged(bool encrypted, const QString& details);
    // A log-in was refused a certificate that only the user can judge: one no authority vouches for, or
    // one other than the trusted one. Automatic log-in waits for answerTrust().
    void serverTrustNeeded(const kovrel::TlsFailure& question);
    // The nick is registered, and its password is in no secret store: the user is to type it.
    void passwordNeeded(const QString& nick, const QString& server);

private:
    void logIn();
    void logOut();
    void logInSoon();
    void setOnline(bool online);
    void scheduleAutoLogin(int attempt);
    void setNick(const QString& nick);
    bool waitForConnection();
    bool AdmitLogin(const QString& localAddress);
    // The server the connection goes to, "host:port" as the user gave them.
    QString serverName() const;
    // The password of a registered nick, from this run or the secret store; nothing when there is none.
    std::optional<QString> lookUpPassword();
    // Sends "Auth" ahead of the admission check; only ever over an encrypted connection.
    void sendPassword();
    // After the admission check's first answer: false, with the log-in refused, when the password was.
    bool passwordAccepted();
    bool QueryExists(const QString& value);
    void refuseLogin(const QString& line);
    void ClientSocketConnecting();
    void ClientSocketConnect();
    void ClientSocketDisconnect();
    void ClientSocketError(SocketErrorKind kind, int code);
    void ClientSocketTlsFailure(const TlsFailure& failure);
    void ConnectionTimerTimer();
    void StartTimerTimer();
    // Runs a handler of a timer or socket event; an error escaping it is reported, not thrown into Qt.
    template <typename Handler> void reporting(const char* className, Handler handler);

    SessionHost& m_owner;
    ChatConnection m_connection;
    AnswerWaits m_waits;
    QTimer m_connectionTimer;
    QTimer m_startTimer;
    std::chrono::milliseconds m_autoLoginUnit = kAutoLoginUnit;
    // Automatic attempts since the last time we were online.
    int m_autoLoginAttempts = 0;
    bool m_autoLoginRunning = false;
    bool m_autoLoginOn = false;
    std::chrono::milliseconds m_answerWait = kAnswerWait;
    std::chrono::milliseconds m_addressWait = kAddressWait;

    QString m_hostName;
    QString m_address;
    QString m_port;
    bool m_useTls = false;
    bool m_usePassword = false;
    std::optional<QString> m_password;
    std::optional<QString> m_authAnswer;
    bool m_passwordSent = false;
    QString m_nick;
    QString m_spareNick;

    bool m_loggingIn = false;
    bool m_leaving = false;
    // Logged in, from the end of a log-in until the connection ends.
    bool m_online = false;
    bool m_connectSeen = false;
    bool m_socketFailed = false;
    bool m_leaveSeen = false;
    int m_existsAnswer = 0;
    std::optional<QString> m_addressAnswer;
    // A certificate refused during the running log-in, for the user to judge once it has ended.
    std::optional<TlsFailure> m_trustQuestion;
    // Asked and not yet answered: automatic log-in would only ask again.
    bool m_awaitingTrust = false;
};

} // namespace kovrel

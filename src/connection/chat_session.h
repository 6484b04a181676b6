#pragma once

#include "chat_connection.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <optional>

namespace kovrel {

// What the session asks of the window that owns it.
class SessionHost
{
public:
    virtual ~SessionHost() = default;

    // The connect dialog, on a log-in while the store says the user has not set up a server yet.
    virtual bool runConnectDialog() = 0;
    // A connection event into the common conversation, after the time prefix.
    virtual void writeEventLine(const QString& text) = 0;
    // A system line into the common conversation, as it stands.
    virtual void writeSystemLine(const QString& line) = 0;
    // Sends `text` as a public message the way the user would: common page, shown input, send button.
    virtual void sendAsPublicMessage(const QString& text) = 0;
    virtual void clearRoster() = 0;
    virtual void setLoginButtonCaption(const QString& caption) = 0;
    virtual void setWaitCursor(bool waiting) = 0;
};

// The connection's life: log-in (connect, admission check, announcement, greeting, card, keep-alive),
// log-out (farewell, "DelUser", wait for the server's answer), socket events as system lines, automatic
// log-in and the answers that a waiting step expects. Holds the connection values and marks; every wait
// keeps the event loop running and ends at a deadline.
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

    ChatSession(SessionHost& host, QObject* parent = nullptr);

    ChatConnection& connection() { return m_connection; }
    bool isConnected() const { return m_connection.isConnected(); }
    bool isBusy() const { return FBusy; }
    const QString& nick() const { return FNick; }
    const QString& anotherNick() const { return FAnotherNick; }

    // Logs out when connected, logs in otherwise; does nothing while a log-in runs.
    void ToggleLogin();
    void LoadConnectionSettings();

    // "SetInfo" with the nick and the eleven stored card fields.
    void SendPersonalCard();

    // Sends one message (a packet of one field) when connected.
    void sendMessage(const QString& command, const QStringList& values = {});

    // Answers that the receive path hands over while a step waits for them.
    void onExistAnswer(const QString& answer);
    void onAddressAnswer(const QString& answer);
    void onLeaveSeen() { FLeaveSeen = true; }

    // Asks the server for a user's address; an empty result when no answer came in time.
    std::optional<QString> queryAddress(const QString& nick);

    // Automatic log-in: the first attempt after a second, then every minute while offline.
    void setAutoLogin(bool on);
    bool autoLoginActive() const { return StartTimer.isActive(); }
    // Tests shorten the intervals; the defaults are the ones above.
    void setAutoLoginInterval(std::chrono::milliseconds interval) { m_autoLoginInterval = interval; }
    void setKeepAliveInterval(std::chrono::milliseconds interval) { ConnectionTimer.setInterval(interval); }
    void setAnswerWaits(std::chrono::milliseconds answer, std::chrono::milliseconds address)
    {
        m_answerWait = answer;
        m_addressWait = address;
    }

private:
    void login();
    void logout();
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

    SessionHost& m_host;
    ChatConnection m_connection;
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
    bool FConnectSeen = false;
    bool FSocketFailed = false;
    bool FLeaveSeen = false;
    int m_existsAnswer = 0;
    std::optional<QString> m_addressAnswer;
};

} // namespace kovrel

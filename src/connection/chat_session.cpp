#include "chat_session.h"

#include "chat_view.h"
#include "commands.h"
#include "settings_layout.h"
#include "wire_text.h"

#include <QScopeGuard>

namespace kovrel {

namespace {

const QString kConnecting = QStringLiteral("Соединяемся...");
const QString kDisconnected = QStringLiteral("Конец связи...");
const QString kBlacklisted = QStringLiteral("Пользователь в чёрном списке...");
const QString kNickTaken = QStringLiteral("Пользователь с таким ником уже есть...");
const QString kOnlineCaption = QStringLiteral("выход");
const QString kLoggedOutCaption = QStringLiteral("вход");
const QString kDisconnectedCaption = QStringLiteral("Connect");

QString connectedLine(const QString& localAddress, const QString& remoteAddress)
{
    return QStringLiteral("Соединился... Local: IP = ") + localAddress + QStringLiteral("; Remote: IP = ") +
           remoteAddress;
}

QString socketErrorLine(SocketErrorKind kind, int code)
{
    return QStringLiteral("Ошибка WinSocket #") + SocketErrorName(code) + QStringLiteral(", тип: ") +
           SocketErrorKindName(kind);
}

} // namespace

template <typename Handler> void ChatSession::reporting(const char* className, Handler handler)
{
    try {
        handler();
    } catch (const std::exception& error) {
        m_host.reportError(QString::fromUtf8(error.what()), QString::fromLatin1(className));
    }
}

ChatSession::ChatSession(SessionHost& host, ChatView& view, QObject* parent)
    : QObject(parent), m_host(host), m_view(view)
{
    ConnectionTimer.setInterval(kKeepAliveInterval);
    StartTimer.setInterval(kFirstAutoLogin);
    connect(&ConnectionTimer, &QTimer::timeout, this,
            [this] { reporting("QTimer", [this] { ConnectionTimerTimer(); }); });
    connect(&StartTimer, &QTimer::timeout, this,
            [this] { reporting("QTimer", [this] { StartTimerTimer(); }); });
    const auto fromSocket = [this](void (ChatSession::*handler)()) {
        return [this, handler] { reporting("TClientSocket", [this, handler] { (this->*handler)(); }); };
    };
    connect(&m_connection, &ChatConnection::connecting, this,
            fromSocket(&ChatSession::ClientSocketConnecting));
    connect(&m_connection, &ChatConnection::connected, this, fromSocket(&ChatSession::ClientSocketConnect));
    connect(&m_connection, &ChatConnection::disconnected, this,
            fromSocket(&ChatSession::ClientSocketDisconnect));
    connect(&m_connection, &ChatConnection::errorOccurred, this, [this](SocketErrorKind kind, int code) {
        reporting("TClientSocket", [&] { ClientSocketError(kind, code); });
    });
}

void ChatSession::ToggleLogin()
{
    if (FBusy || m_leaving) {
        return;
    }
    m_view.setLoginRunning(true);
    // Every way out ends the attempt, an error included: the controls come back and whoever waits for
    // the outcome hears of it.
    const auto settle = qScopeGuard([this] {
        m_view.setLoginRunning(false);
        emit settled();
    });
    if (isConnected()) {
        logOut();
    } else {
        logIn();
    }
}

void ChatSession::cancelLogIn()
{
    if (FBusy) {
        m_connection.close();
        m_waits.wake();
    }
}

void ChatSession::LoadConnectionSettings()
{
    FPort = QString::number(ReadPort());
    FAddress = ReadAddress();
    FHost = ReadHost();
    FAnotherNick = ReadAnotherNick();
    setNick(ReadNick());
}

void ChatSession::setNick(const QString& nick)
{
    FNick = nick;
    m_host.ownNickChanged(FNick);
}

void ChatSession::sendMessage(std::string_view command, const QStringList& values)
{
    m_connection.sendPacket({WireMessage(command, values)});
}

void ChatSession::SendPersonalCard()
{
    QStringList values{FNick};
    for (InfoField field : kInfoFields) {
        values << ReadInfoField(field);
    }
    sendMessage(command::SetInfo, values);
}

bool ChatSession::waitUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline)
{
    return m_waits.waitUntil(done, deadline);
}

void ChatSession::setAnswerWaits(std::chrono::milliseconds answer, std::chrono::milliseconds address)
{
    m_answerWait = answer;
    m_addressWait = address;
}

void ChatSession::logIn()
{
    FBusy = true;
    const auto notBusy = qScopeGuard([this] { FBusy = false; });
    if (ReadFirstTime() && !m_view.runConnectDialog()) {
        return;
    }
    LoadConnectionSettings();
    if (!waitForConnection() || !isConnected()) {
        FSocketFailed = false;
        m_connection.close();
        return;
    }
    if (!AdmitLogin(m_connection.localAddress())) {
        return;
    }
    sendMessage(command::AddUser, {FNick});
    const QString greeting = ReadMsgOnConnect();
    if (!greeting.trimmed().isEmpty()) {
        m_view.sendAsPublicMessage(greeting);
    }
    SendPersonalCard();
    m_view.setLoginCaption(kOnlineCaption);
    ConnectionTimer.start();
    m_online = true;
}

bool ChatSession::waitForConnection()
{
    m_view.setWaitCursor(true);
    const auto normalCursor = qScopeGuard([this] { m_view.setWaitCursor(false); });
    FConnectSeen = false;
    FSocketFailed = false;
    m_connection.open(FHost.isEmpty() ? FAddress : FHost, static_cast<quint16>(FPort.toUInt()));
    const bool settled = m_waits.waitUntil(
        [this] { return FConnectSeen || FSocketFailed || !m_connection.isOpen(); }, m_answerWait);
    if (!settled) {
        FSocketFailed = true;
    }
    return !FSocketFailed;
}

bool ChatSession::AdmitLogin(const QString& localAddress)
{
    if (QueryExists(localAddress)) {
        refuseLogin(kBlacklisted);
        return false;
    }
    if (QueryExists(FNick)) {
        const QString taken = FNick;
        setNick(FAnotherNick);
        FAnotherNick = taken;
        if (QueryExists(FNick)) {
            refuseLogin(kNickTaken);
            return false;
        }
    }
    m_host.clearRoster();
    sendMessage(command::GetUser, {FNick});
    return true;
}

bool ChatSession::QueryExists(const QString& value)
{
    m_existsAnswer = 0;
    sendMessage(command::ExistUser, {value});
    // A connection that is gone answers nothing: that is a failure, not a "taken".
    m_waits.waitUntil([this] { return m_existsAnswer != 0 || !isConnected(); }, m_answerWait);
    if (m_existsAnswer == 0) {
        FSocketFailed = true;
    }
    return m_existsAnswer != -1;
}

void ChatSession::refuseLogin(const QString& line)
{
    // A query that got no answer refuses silently: the connection is gone or mute.
    if (!FSocketFailed) {
        m_host.writeSystemLine(line);
    }
    FSocketFailed = false;
    m_connection.close();
}

std::optional<QString> ChatSession::queryAddress(const QString& nick)
{
    m_addressAnswer.reset();
    sendMessage(command::GetIPUser, {nick});
    m_waits.waitUntil([this] { return m_addressAnswer.has_value() || !isConnected(); }, m_addressWait);
    return std::exchange(m_addressAnswer, std::nullopt);
}

void ChatSession::logOut()
{
    m_online = false;
    m_leaving = true;
    const auto left = qScopeGuard([this] { m_leaving = false; });
    const QString farewell = ReadMsgOnDisconnect();
    if (!farewell.isEmpty()) {
        m_view.sendAsPublicMessage(farewell);
    }
    FLeaveSeen = false;
    sendMessage(command::DelUser, {FNick});
    m_waits.waitUntil([this] { return FLeaveSeen || !isConnected(); }, m_answerWait);
    m_connection.close();
    m_view.setLoginCaption(kLoggedOutCaption);
}

void ChatSession::ClientSocketConnecting()
{
    m_host.writeEventLine(kConnecting);
}

void ChatSession::ClientSocketConnect()
{
    FConnectSeen = true;
    m_waits.wake();
    m_host.writeEventLine(connectedLine(m_connection.localAddress(), m_connection.remoteAddress()));
}

void ChatSession::ClientSocketDisconnect()
{
    m_view.setLoginCaption(kDisconnectedCaption);
    m_host.writeEventLine(kDisconnected);
    m_view.setWaitCursor(false);
    m_waits.wake();
    // Neither we nor the server ended it: automatic log-in replaces it without waiting for its minute.
    if (std::exchange(m_online, false) && autoLoginActive()) {
        logInSoon();
    }
}

void ChatSession::ClientSocketError(SocketErrorKind kind, int code)
{
    m_view.setWaitCursor(false);
    FSocketFailed = true;
    m_waits.wake();
    m_host.writeEventLine(socketErrorLine(kind, code));
}

void ChatSession::ConnectionTimerTimer()
{
    if (!isConnected() || FBusy || m_leaving) {
        return;
    }
    FSocketFailed = false;
    sendMessage(command::TestConnection);
    if (FSocketFailed) {
        FSocketFailed = false;
        m_connection.close();
        ConnectionTimer.stop();
    }
}

void ChatSession::setAutoLogin(bool on)
{
    if (on) {
        logInSoon();
    } else {
        StartTimer.stop();
    }
}

void ChatSession::networkReturned()
{
    if (m_online) {
        ConnectionTimerTimer();
    } else if (autoLoginActive()) {
        logInSoon();
    }
}

void ChatSession::logInSoon()
{
    StartTimer.stop();
    StartTimer.setInterval(kFirstAutoLogin);
    StartTimer.start();
}

void ChatSession::StartTimerTimer()
{
    StartTimer.stop();
    StartTimer.setInterval(m_autoLoginInterval);
    // An attempt that fails with an error must not end the retries.
    const auto restart = qScopeGuard([this] { StartTimer.start(); });
    if (!isConnected()) {
        ToggleLogin();
    }
}

} // namespace kovrel

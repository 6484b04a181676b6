// SPDX-License-Identifier: GPL-3.0-or-later
#include "chat_session.h"

#include "commands.h"
#include "password_vault.h"
#include "settings_layout.h"
#include "wire_text.h"

#include <QScopeGuard>
#include <QScopedValueRollback>

#include <algorithm>

namespace kovrel {

namespace {

const QString kConnecting = QStringLiteral("Соединяемся...");
const QString kDisconnected = QStringLiteral("Конец связи...");
const QString kBlacklisted = QStringLiteral("Пользователь в чёрном списке...");
const QString kNickTaken = QStringLiteral("Пользователь с таким ником уже есть...");
const QString kNoAccounts = QStringLiteral("Сервер не знает зарегистрированных ников: вход без пароля");
const QString kOnlineCaption = QStringLiteral("выход");
const QString kLoggedOutCaption = QStringLiteral("вход");
const QString kDisconnectedCaption = QStringLiteral("Connect");

QString connectedLine(const QString& localAddress, const QString& remoteAddress)
{
    return QStringLiteral("Соединился... Local: IP = ") + localAddress + QStringLiteral("; Remote: IP = ") +
           remoteAddress;
}

QString encryptedLine(const QString& details)
{
    return QStringLiteral("Соединение зашифровано: ") + details;
}

QString trustAnswerLine(const TlsFailure& question, bool trusted)
{
    return trusted ? QStringLiteral("Сертификат сервера %1 принят (отпечаток SHA-256 %2)")
                         .arg(question.server, question.presented)
                   : QStringLiteral("Сертификат сервера %1 не принят").arg(question.server);
}

QString wrongPasswordLine(const QString& nick)
{
    return QStringLiteral("Неверный пароль для ника ") + nick;
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
        m_owner.reportError(QString::fromUtf8(error.what()), QString::fromLatin1(className));
    }
}

ChatSession::ChatSession(SessionHost& owner, QObject* parent) : QObject(parent), m_owner(owner)
{
    m_connectionTimer.setInterval(kKeepAliveInterval);
    connect(&m_connectionTimer, &QTimer::timeout, this,
            [this] { reporting("QTimer", [this] { ConnectionTimerTimer(); }); });
    connect(&m_startTimer, &QTimer::timeout, this,
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
    connect(&m_connection, &ChatConnection::tlsFailed, this, [this](const TlsFailure& failure) {
        reporting("TClientSocket", [&] { ClientSocketTlsFailure(failure); });
    });
}

void ChatSession::ToggleLogin()
{
    if (m_loggingIn || m_leaving) {
        return;
    }
    emit loginRunningChanged(true);
    // Every way out ends the attempt, an error included: the controls come back and whoever waits for
    // the outcome hears of it.
    const auto settle = qScopeGuard([this] {
        emit loginRunningChanged(false);
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
    if (m_loggingIn) {
        m_connection.close();
        m_waits.wake();
    }
}

void ChatSession::leaveAtServersRequest()
{
    const bool replace = m_online && autoLoginActive();
    ToggleLogin();
    if (replace && !isConnected()) {
        logInSoon();
    }
}

void ChatSession::LoadConnectionSettings()
{
    m_port = QString::number(ReadPort());
    m_address = ReadAddress();
    m_hostName = ReadHost();
    m_useTls = ReadUseTls();
    m_usePassword = m_useTls && ReadUsePassword();
    m_spareNick = ReadAnotherNick();
    setNick(ReadNick());
}

void ChatSession::setNick(const QString& nick)
{
    m_nick = nick;
    m_owner.ownNickChanged(m_nick);
}

void ChatSession::sendMessage(std::string_view command, const QStringList& values)
{
    m_connection.sendPacket({WireMessage(command, values)});
}

void ChatSession::SendPersonalCard()
{
    QStringList values{m_nick};
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
    m_loggingIn = true;
    const auto notBusy = qScopeGuard([this] { m_loggingIn = false; });
    if (ReadFirstTime()) {
        emit serverSetupNeeded();
        return;
    }
    LoadConnectionSettings();
    m_trustQuestion.reset();
    m_awaitingTrust = false;
    m_password = m_usePassword ? lookUpPassword() : std::nullopt;
    if (m_usePassword && !m_password) {
        emit passwordNeeded(m_nick, serverName());
        return;
    }
    if (!waitForConnection() || !isConnected()) {
        m_socketFailed = false;
        m_connection.close();
        if (m_trustQuestion) {
            // Asked once the log-in has ended, never inside the socket's handshake.
            m_awaitingTrust = true;
            emit serverTrustNeeded(*std::exchange(m_trustQuestion, std::nullopt));
        }
        return;
    }
    if (!AdmitLogin(m_connection.localAddress())) {
        return;
    }
    sendMessage(command::AddUser, {m_nick});
    const QString greeting = ReadMsgOnConnect();
    if (!greeting.trimmed().isEmpty()) {
        m_owner.sendPublicLine(greeting);
    }
    SendPersonalCard();
    emit loginCaptionChanged(kOnlineCaption);
    m_connectionTimer.start();
    setOnline(true);
}

bool ChatSession::waitForConnection()
{
    emit waitingChanged(true);
    const auto normalCursor = qScopeGuard([this] { emit waitingChanged(false); });
    m_connectSeen = false;
    m_socketFailed = false;
    m_connection.open(m_hostName.isEmpty() ? m_address : m_hostName, static_cast<quint16>(m_port.toUInt()),
                      m_useTls ? ChatConnection::Encryption::Tls : ChatConnection::Encryption::None);
    const bool settled = m_waits.waitUntil(
        [this] { return m_connectSeen || m_socketFailed || !m_connection.isOpen(); }, m_answerWait);
    if (!settled) {
        m_socketFailed = true;
    }
    return !m_socketFailed;
}

bool ChatSession::AdmitLogin(const QString& localAddress)
{
    sendPassword();
    if (QueryExists(localAddress)) {
        refuseLogin(kBlacklisted);
        return false;
    }
    if (!passwordAccepted()) {
        return false;
    }
    if (QueryExists(m_nick)) {
        const QString taken = m_nick;
        setNick(m_spareNick);
        m_spareNick = taken;
        if (QueryExists(m_nick)) {
            refuseLogin(kNickTaken);
            return false;
        }
    }
    m_owner.clearRoster();
    sendMessage(command::GetUser, {m_nick});
    return true;
}

QString ChatSession::serverName() const
{
    return ServerName(m_hostName, m_address, m_port.toInt());
}

std::optional<QString> ChatSession::lookUpPassword()
{
    // Shared with the callback, which may come after the wait has given up.
    auto found = std::make_shared<std::optional<std::optional<QString>>>();
    passwords::lookUp(passwords::accountName(m_nick, serverName()), this,
                      [this, found](const std::optional<QString>& password) {
                          *found = password;
                          m_waits.wake();
                      });
    m_waits.waitUntil([&] { return found->has_value(); }, m_answerWait);
    return found->value_or(std::nullopt);
}

void ChatSession::sendPassword()
{
    m_authAnswer.reset();
    m_passwordSent = m_password && m_connection.isEncrypted();
    if (m_passwordSent) {
        sendMessage(command::Auth, {m_nick, *m_password});
    }
}

// The server answers in order: an answer to "ExistUser" with none to "Auth" before it is a server that
// knows nothing of registered nicks.
bool ChatSession::passwordAccepted()
{
    if (!m_passwordSent) {
        return true;
    }
    if (!m_authAnswer) {
        m_owner.writeEventLine(kNoAccounts);
    } else if (*m_authAnswer != QLatin1String("1")) {
        // Forgotten, so that the next log-in asks for the right one.
        passwords::forget(passwords::accountName(m_nick, serverName()));
        refuseLogin(wrongPasswordLine(m_nick));
        return false;
    }
    return true;
}

void ChatSession::providePassword(const QString& password)
{
    passwords::store(passwords::accountName(m_nick, serverName()), password);
    if (!isConnected()) {
        ToggleLogin();
    }
}

bool ChatSession::QueryExists(const QString& value)
{
    m_existsAnswer = 0;
    sendMessage(command::ExistUser, {value});
    // A connection that is gone answers nothing: that is a failure, not a "taken".
    m_waits.waitUntil([this] { return m_existsAnswer != 0 || !isConnected(); }, m_answerWait);
    if (m_existsAnswer == 0) {
        m_socketFailed = true;
    }
    return m_existsAnswer != -1;
}

void ChatSession::refuseLogin(const QString& line)
{
    // A query that got no answer refuses silently: the connection is gone or mute.
    if (!m_socketFailed) {
        m_owner.writeSystemLine(line);
    }
    m_socketFailed = false;
    m_connection.close();
}

void ChatSession::answerTrust(const TlsFailure& question, bool trusted)
{
    m_awaitingTrust = false;
    if (trusted) {
        WriteTrustedFingerprint(question.server, question.presented);
    }
    m_owner.writeEventLine(trustAnswerLine(question, trusted));
    if (trusted && !isConnected()) {
        ToggleLogin();
    }
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
    setOnline(false);
    m_leaving = true;
    const auto left = qScopeGuard([this] { m_leaving = false; });
    const QString farewell = ReadMsgOnDisconnect();
    if (!farewell.isEmpty()) {
        m_owner.sendPublicLine(farewell);
    }
    m_leaveSeen = false;
    sendMessage(command::DelUser, {m_nick});
    m_waits.waitUntil([this] { return m_leaveSeen || !isConnected(); }, m_answerWait);
    m_connection.close();
    emit loginCaptionChanged(kLoggedOutCaption);
}

void ChatSession::ClientSocketConnecting()
{
    m_owner.writeEventLine(kConnecting);
}

void ChatSession::ClientSocketConnect()
{
    m_connectSeen = true;
    m_waits.wake();
    m_owner.writeEventLine(connectedLine(m_connection.localAddress(), m_connection.remoteAddress()));
    if (m_connection.isEncrypted()) {
        const QString details = m_connection.encryptionDetails();
        m_owner.writeEventLine(encryptedLine(details));
        emit encryptionChanged(true, details);
    }
}

void ChatSession::ClientSocketDisconnect()
{
    emit encryptionChanged(false, QString());
    emit loginCaptionChanged(kDisconnectedCaption);
    m_owner.writeEventLine(kDisconnected);
    emit waitingChanged(false);
    m_waits.wake();
    // Neither we nor the server ended it: automatic log-in replaces it without waiting for its minute.
    const bool wasOnline = m_online;
    setOnline(false);
    if (wasOnline && autoLoginActive()) {
        logInSoon();
    }
}

void ChatSession::ClientSocketError(SocketErrorKind kind, int code)
{
    emit waitingChanged(false);
    m_socketFailed = true;
    m_waits.wake();
    m_owner.writeEventLine(socketErrorLine(kind, code));
}

void ChatSession::ClientSocketTlsFailure(const TlsFailure& failure)
{
    emit waitingChanged(false);
    m_socketFailed = true;
    if (failure.asksForTrust() && m_loggingIn) {
        m_trustQuestion = failure;
    }
    m_waits.wake();
    m_owner.writeEventLine(TlsFailureLine(failure));
}

void ChatSession::ConnectionTimerTimer()
{
    if (!isConnected() || m_loggingIn || m_leaving) {
        return;
    }
    m_socketFailed = false;
    sendMessage(command::TestConnection);
    if (m_socketFailed) {
        m_socketFailed = false;
        m_connection.close();
        m_connectionTimer.stop();
    }
}

void ChatSession::setAutoLogin(bool on)
{
    m_autoLoginOn = on;
    if (on) {
        logInSoon();
    } else {
        m_startTimer.stop();
    }
}

void ChatSession::networkReturned()
{
    if (m_online) {
        ConnectionTimerTimer();
    } else if (autoLoginActive() && !m_awaitingTrust) {
        logInSoon();
    }
}

void ChatSession::setOnline(bool online)
{
    if (std::exchange(m_online, online) != online) {
        emit onlineChanged(online, m_autoLoginRunning);
    }
}

void ChatSession::logInSoon()
{
    scheduleAutoLogin(0);
}

void ChatSession::scheduleAutoLogin(int attempt)
{
    m_autoLoginAttempts = attempt;
    const std::size_t step =
        std::min<std::size_t>(static_cast<std::size_t>(attempt), kAutoLoginBackOff.size() - 1);
    m_startTimer.stop();
    m_startTimer.setInterval(m_autoLoginUnit * kAutoLoginBackOff[step]);
    m_startTimer.start();
}

void ChatSession::StartTimerTimer()
{
    // The next attempt backs off further; once online, a tick every longest step finds nothing to do until
    // the user logs out (a lost connection starts the back-off again from its first step). An attempt that
    // fails with an error must not end the retries, but one during which the user switched them off does.
    const auto next = qScopeGuard([this] {
        if (m_autoLoginOn && !m_awaitingTrust) {
            scheduleAutoLogin(m_online ? static_cast<int>(kAutoLoginBackOff.size())
                                       : m_autoLoginAttempts + 1);
        }
    });
    m_startTimer.stop();
    if (!isConnected()) {
        const QScopedValueRollback automatic(m_autoLoginRunning, true);
        ToggleLogin();
    }
}

} // namespace kovrel

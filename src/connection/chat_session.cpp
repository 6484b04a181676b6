#include "chat_session.h"

#include "commands.h"
#include "event_wait.h"
#include "message.h"
#include "settings_layout.h"
#include "wire_text.h"

#include <QScopeGuard>

namespace kovrel {

namespace {

QString commandName(std::string_view name)
{
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

const QString kConnecting = QStringLiteral("Соединяемся...");
const QString kDisconnected = QStringLiteral("Конец связи...");
const QString kBlacklisted = QStringLiteral("Пользователь в чёрном списке...");
const QString kNickTaken = QStringLiteral("Пользователь с таким ником уже есть...");

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

ChatSession::ChatSession(SessionHost& host, QObject* parent) : QObject(parent), m_host(host)
{
    ConnectionTimer.setInterval(kKeepAliveInterval);
    StartTimer.setInterval(kFirstAutoLogin);
    connect(&ConnectionTimer, &QTimer::timeout, this, &ChatSession::ConnectionTimerTimer);
    connect(&StartTimer, &QTimer::timeout, this, &ChatSession::StartTimerTimer);
    connect(&m_connection, &ChatConnection::connecting, this, &ChatSession::ClientSocketConnecting);
    connect(&m_connection, &ChatConnection::connected, this, &ChatSession::ClientSocketConnect);
    connect(&m_connection, &ChatConnection::disconnected, this, &ChatSession::ClientSocketDisconnect);
    connect(&m_connection, &ChatConnection::errorOccurred, this, &ChatSession::ClientSocketError);
}

void ChatSession::ToggleLogin()
{
    if (FBusy) {
        return;
    }
    if (isConnected()) {
        logout();
    } else {
        login();
    }
}

void ChatSession::LoadConnectionSettings()
{
    FPort = QString::number(ReadPort());
    FAddress = ReadAddress();
    FHost = ReadHost();
    FNick = ReadNick();
    FAnotherNick = ReadAnotherNick();
}

void ChatSession::sendMessage(const QString& command, const QStringList& values)
{
    QString message = command + QLatin1Char('|') + values.join(QLatin1Char('|'));
    m_connection.sendPacket({toWire(message)});
}

void ChatSession::SendPersonalCard()
{
    QStringList values{FNick};
    for (InfoField field : kInfoFields) {
        values << ReadInfoField(field);
    }
    sendMessage(commandName(command::SetInfo), values);
}

void ChatSession::login()
{
    FBusy = true;
    // Every way out ends the attempt, an error included: a busy mark left behind would refuse every
    // later log-in.
    const auto notBusy = qScopeGuard([this] { FBusy = false; });
    if (ReadFirstTime() && !m_host.runConnectDialog()) {
        return;
    }
    LoadConnectionSettings();
    if (!waitForConnection() || !m_connection.isConnected()) {
        FSocketFailed = false;
        m_connection.close();
        return;
    }
    if (!AdmitLogin(m_connection.localAddress())) {
        return;
    }
    sendMessage(commandName(command::AddUser), {FNick});
    const QString greeting = ReadMsgOnConnect();
    if (!greeting.trimmed().isEmpty()) {
        m_host.sendAsPublicMessage(greeting);
    }
    SendPersonalCard();
    m_host.setLoginButtonCaption(QStringLiteral("выход"));
    ConnectionTimer.start();
}

bool ChatSession::waitForConnection()
{
    m_host.setWaitCursor(true);
    FConnectSeen = false;
    FSocketFailed = false;
    m_connection.open(FHost.isEmpty() ? FAddress : FHost, static_cast<quint16>(FPort.toUInt()));
    if (!WaitWhileProcessingEvents([this] { return FConnectSeen || FSocketFailed; }, m_answerWait)) {
        FSocketFailed = true;
    }
    m_host.setWaitCursor(false);
    return !FSocketFailed;
}

bool ChatSession::AdmitLogin(const QString& localAddress)
{
    if (QueryExists(localAddress)) {
        refuseLogin(kBlacklisted);
        return false;
    }
    if (QueryExists(FNick)) {
        std::swap(FNick, FAnotherNick);
        if (QueryExists(FNick)) {
            refuseLogin(kNickTaken);
            return false;
        }
    }
    m_host.clearRoster();
    sendMessage(commandName(command::GetUser), {FNick});
    return true;
}

bool ChatSession::QueryExists(const QString& value)
{
    m_existsAnswer = 0;
    sendMessage(commandName(command::ExistUser), {value});
    if (!WaitWhileProcessingEvents([this] { return m_existsAnswer != 0; }, m_answerWait)) {
        FSocketFailed = true;
    }
    return m_existsAnswer != -1;
}

void ChatSession::refuseLogin(const QString& line)
{
    // A query that timed out refuses silently: the connection is gone or mute.
    if (!FSocketFailed) {
        m_host.writeSystemLine(line);
    }
    FSocketFailed = false;
    m_connection.close();
}

void ChatSession::onExistAnswer(const QString& answer)
{
    m_existsAnswer = answer == QLatin1String("-1") ? -1 : 1;
}

void ChatSession::onAddressAnswer(const QString& answer)
{
    m_addressAnswer = answer;
}

std::optional<QString> ChatSession::queryAddress(const QString& nick)
{
    m_addressAnswer.reset();
    sendMessage(commandName(command::GetIPUser), {nick});
    WaitWhileProcessingEvents([this] { return m_addressAnswer.has_value(); }, m_addressWait);
    return std::exchange(m_addressAnswer, std::nullopt);
}

void ChatSession::logout()
{
    const QString farewell = ReadMsgOnDisconnect();
    if (!farewell.isEmpty()) {
        m_host.sendAsPublicMessage(farewell);
    }
    FLeaveSeen = false;
    sendMessage(commandName(command::DelUser), {FNick});
    WaitWhileProcessingEvents([this] { return FLeaveSeen || !m_connection.isConnected(); }, m_answerWait);
    m_connection.close();
    m_host.setLoginButtonCaption(QStringLiteral("вход"));
}

void ChatSession::ClientSocketConnecting()
{
    m_host.writeEventLine(kConnecting);
}

void ChatSession::ClientSocketConnect()
{
    FConnectSeen = true;
    m_host.writeEventLine(connectedLine(m_connection.localAddress(), m_connection.remoteAddress()));
}

void ChatSession::ClientSocketDisconnect()
{
    FBusy = false;
    m_host.setLoginButtonCaption(QStringLiteral("Connect"));
    m_host.writeEventLine(kDisconnected);
    m_host.setWaitCursor(false);
}

void ChatSession::ClientSocketError(SocketErrorKind kind, int code)
{
    m_host.setWaitCursor(false);
    FSocketFailed = true;
    m_host.writeEventLine(socketErrorLine(kind, code));
}

void ChatSession::ConnectionTimerTimer()
{
    if (!isConnected() || FBusy) {
        return;
    }
    FSocketFailed = false;
    sendMessage(commandName(command::TestConnection));
    if (FSocketFailed) {
        FSocketFailed = false;
        m_connection.close();
        ConnectionTimer.stop();
    }
}

void ChatSession::setAutoLogin(bool on)
{
    if (on) {
        StartTimer.setInterval(kFirstAutoLogin);
        StartTimer.start();
    } else {
        StartTimer.stop();
    }
}

void ChatSession::StartTimerTimer()
{
    StartTimer.stop();
    StartTimer.setInterval(m_autoLoginInterval);
    // An attempt that fails with an error (settings that cannot be read) must not end the retries.
    const auto restart = qScopeGuard([this] { StartTimer.start(); });
    if (!isConnected()) {
        ToggleLogin();
    }
}

} // namespace kovrel

// SPDX-License-Identifier: GPL-3.0-or-later
// The settings of the client key itself and of its window and option groups; the groups with one subkey
// per user, row or set are in settings_layout_sections.cpp.
#include "settings_layout.h"

#include <optional>
#include <stdexcept>
#include <utility>

#include "layout_setting.h"
#include "settings_store.h"

namespace kovrel {

using namespace Qt::Literals::StringLiterals;
using layout::kClientKey;
using layout::read;
using layout::Setting;
using layout::write;

namespace {

constexpr int kMaxPort = 65535;

// The port as the connect dialog gives it: decimal digits for 0 to 65535, blanks around them allowed.
std::optional<int> dialogPort(const QString& text)
{
    const QStringView digits = QStringView(text).trimmed();
    if (digits.isEmpty())
        return std::nullopt;
    int number = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        number = number * 10 + (c.unicode() - u'0');
        if (number > kMaxPort)
            return std::nullopt;
    }
    return number;
}

// The connection values are addressed as the section "Client" of the product key.
template <typename T> Setting<T> connection(QStringView name, T fallback)
{
    return {layout::kProductKey, u"Client", name, std::move(fallback)};
}

Setting<QString> host()
{
    return connection(u"Host", u"Имя хоста"_s);
}

Setting<QString> nick()
{
    return connection(u"Nick", u"Ваш НИК"_s);
}

Setting<QString> anotherNick()
{
    return connection(u"AnotherNick", u"Запасной НИК"_s);
}

Setting<QString> address()
{
    return connection(u"Address", QString());
}

Setting<int> port()
{
    return connection(u"Port", 0);
}

Setting<bool> firstTime()
{
    return connection(u"FirstTime", true);
}

Setting<bool> useTls()
{
    return connection(u"UseTLS", false);
}

Setting<bool> usePassword()
{
    return connection(u"UsePassword", false);
}

Setting<QString> msgOnConnect()
{
    return connection(u"MsgOnConnect", QString());
}

Setting<QString> msgOnDisconnect()
{
    return connection(u"MsgOnDisconnect", QString());
}

Setting<bool> configFlag(ConfigFlag flag)
{
    const auto config = [](QStringView name, bool fallback) {
        return Setting(kClientKey, u"Config", name, fallback);
    };
    switch (flag) {
    case ConfigFlag::ListButton:
        return config(u"ListButton", true);
    case ConfigFlag::ShowCaption:
        return config(u"ShowCaption", true);
    case ConfigFlag::FromUpToDown:
        return config(u"FromUpToDown", true);
    case ConfigFlag::MsgEditor:
        return config(u"MsgEditor", false);
    case ConfigFlag::StartOnRun:
        return config(u"StartOnRun", false);
    case ConfigFlag::ShowTime:
        return config(u"ShowTime", false);
    case ConfigFlag::BeepOnPublic:
        return config(u"BeepOnPublic", false);
    case ConfigFlag::BeepOnPrivate:
        return config(u"BeepOnPrivate", false);
    }
    Q_UNREACHABLE();
}

Setting<int> toolsAlign()
{
    return {kClientKey, u"Config", u"ToolsAlign", 1};
}

Setting<int> mainFormValue(MainFormValue value)
{
    const auto mainForm = [](QStringView name) { return Setting(kClientKey, u"MainForm", name, kAbsent); };
    switch (value) {
    case MainFormValue::Left:
        return mainForm(u"Left");
    case MainFormValue::Top:
        return mainForm(u"Top");
    case MainFormValue::Width:
        return mainForm(u"Width");
    case MainFormValue::Height:
        return mainForm(u"Height");
    case MainFormValue::SplitterLeft:
        return mainForm(u"Splitter.Left");
    case MainFormValue::SplitterTop:
        return mainForm(u"Splitter.Top");
    }
    Q_UNREACHABLE();
}

Setting<bool> minimized()
{
    return {kClientKey, u"MainForm", u"Minimized", false};
}

Setting<int> beepFormPosition(WindowEdge edge)
{
    return {kClientKey, u"BeepForm", layout::edgeName(edge), kAbsent};
}

} // namespace

QString ReadHost()
{
    return read(host());
}

void WriteHost(const QString& text)
{
    write(host(), text);
}

QString ReadNick()
{
    return read(nick());
}

void WriteNick(const QString& text)
{
    write(nick(), text);
}

QString ReadAnotherNick()
{
    return read(anotherNick());
}

void WriteAnotherNick(const QString& text)
{
    write(anotherNick(), text);
}

QString ReadAddress()
{
    return read(address());
}

void WriteAddress(const QString& text)
{
    write(address(), text);
}

int ReadPort()
{
    const Setting<int> setting = port();
    const int number = read(setting);
    if (number >= 0 && number <= kMaxPort)
        return number;
    layout::reportReadProblem(SettingsError::invalidValue(
        setting.name, u"%1 is not a port number (0 to %2)"_s.arg(number).arg(kMaxPort)));
    return setting.defaultValue;
}

void WritePort(int number)
{
    write(port(), number);
}

bool ReadFirstTime()
{
    return read(firstTime());
}

void WriteFirstTime(bool flag)
{
    write(firstTime(), flag);
}

bool ReadUseTls()
{
    return read(useTls());
}

void WriteUseTls(bool flag)
{
    write(useTls(), flag);
}

QString ServerName(const QString& host, const QString& address, int port)
{
    return (host.isEmpty() ? address : host) + u':' + QString::number(port);
}

bool ReadUsePassword()
{
    return read(usePassword());
}

void WriteUsePassword(bool flag)
{
    write(usePassword(), flag);
}

QString ReadMsgOnConnect()
{
    return read(msgOnConnect());
}

void WriteMsgOnConnect(const QString& text)
{
    write(msgOnConnect(), text);
}

QString ReadMsgOnDisconnect()
{
    return read(msgOnDisconnect());
}

void WriteMsgOnDisconnect(const QString& text)
{
    write(msgOnDisconnect(), text);
}

void WriteConnectDialogValues(const ConnectDialogValues& values)
{
    const std::optional<int> portNumber = dialogPort(values.port);
    if (!portNumber) {
        throw std::invalid_argument(
            u"'%1' is not a port number (0 to %2)"_s.arg(values.port).arg(kMaxPort).toStdString());
    }
    // All are values of one key (see connection()), written in one update of the file.
    const QList<std::pair<QString, QString>> texts{
        {host().name, values.host},
        {nick().name, values.nick},
        {anotherNick().name, values.anotherNick},
        {address().name, values.address},
        {port().name, QString::number(*portNumber)},
        {firstTime().name, u"0"_s},
        {msgOnConnect().name, values.msgOnConnect},
        {msgOnDisconnect().name, values.msgOnDisconnect},
        {useTls().name, values.useTls ? u"1"_s : u"0"_s},
        {usePassword().name, values.usePassword ? u"1"_s : u"0"_s},
    };
    const Setting<QString> anyOfThem = host();
    SettingsStore store = layout::openedAt(anyOfThem.basePath);
    store.WriteTexts(anyOfThem.section, texts);
}

bool ReadConfigFlag(ConfigFlag flag)
{
    return read(configFlag(flag));
}

void WriteConfigFlag(ConfigFlag flag, bool on)
{
    write(configFlag(flag), on);
}

bool ToggleConfigFlag(ConfigFlag flag)
{
    WriteConfigFlag(flag, !ReadConfigFlag(flag));
    return ReadConfigFlag(flag);
}

int ReadToolsAlign()
{
    return read(toolsAlign());
}

void WriteToolsAlign(int align)
{
    write(toolsAlign(), align);
}

int ReadMainFormValue(MainFormValue value)
{
    return read(mainFormValue(value));
}

void WriteMainFormValue(MainFormValue value, int number)
{
    write(mainFormValue(value), number);
}

bool ReadMinimized()
{
    return read(minimized());
}

void WriteMinimized(bool flag)
{
    write(minimized(), flag);
}

int ReadBeepFormPosition(WindowEdge edge)
{
    return read(beepFormPosition(edge));
}

void WriteBeepFormPosition(WindowEdge edge, int position)
{
    write(beepFormPosition(edge), position);
}

bool IsAutostartOn()
{
    try {
        return !ReadAutostart().isEmpty();
    } catch (const std::exception& error) {
        layout::reportReadProblem(error);
        return false;
    }
}

bool ToggleAutostart(const QString& executablePath, const QStringList& arguments)
{
    if (IsAutostartOn())
        DeleteAutostart();
    else
        WriteAutostart(executablePath, arguments);
    return IsAutostartOn();
}

} // namespace kovrel

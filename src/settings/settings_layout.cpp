// The settings of the client key itself and of its window and option groups; the groups with one subkey
// per user, row or set are in settings_layout_sections.cpp.
#include "settings_layout.h"

#include <optional>
#include <stdexcept>

#include "layout_setting.h"
#include "settings_store.h"

namespace kovrel {

using namespace Qt::Literals::StringLiterals;
using layout::kClientKey;
using layout::read;
using layout::Setting;
using layout::write;

namespace {

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
    return read(port());
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
    WriteHost(values.host);
    WriteNick(values.nick);
    WriteAnotherNick(values.anotherNick);
    WriteAddress(values.address);
    const std::optional<int> portNumber = parseInteger(values.port);
    if (!portNumber)
        throw std::invalid_argument(u"'%1' is not a valid integer value"_s.arg(values.port).toStdString());
    WritePort(*portNumber);
    WriteFirstTime(false);
    WriteMsgOnConnect(values.msgOnConnect);
    WriteMsgOnDisconnect(values.msgOnDisconnect);
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
    return !ReadAutostart().isEmpty();
}

bool ToggleAutostart(const QString& executablePath)
{
    if (IsAutostartOn())
        DeleteAutostart();
    else
        WriteAutostart(executablePath);
    return IsAutostartOn();
}

} // namespace kovrel

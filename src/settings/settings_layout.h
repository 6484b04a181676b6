// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>

#include <QList>
#include <QString>
#include <QStringView>

#include "autostart.h"
#include "settings_error.h"

// Every setting of the client: its key below Software\Kovrel, value name, type and default. Each reader
// and each writer is one access of the settings store, made at the moment it is called, so a reader sees
// the file as it is then, edits by the user or another process included. The store keeps a parsed copy of
// the file and checks with one stat() that the file has not changed, so a read of an unchanged file does
// no file I/O and may be made for every chat line (settings_store.h).
// A reader never raises: a value it cannot read (a value of another type, an out-of-range port, a file
// that cannot be read) reads as its default, and the error text goes to the problem reporter
// (SettingsStore::setProblemReporter) once, not again until the file changes. Writers raise SettingsError.
namespace kovrel {

// Positions and sizes that were never stored read as this: the window keeps its built-in placement.
inline constexpr int kAbsent = -1;

// Connection values, key Client.
QString ReadHost(); // "Имя хоста"; empty means: connect by the address
void WriteHost(const QString& host);
QString ReadNick(); // "Ваш НИК"
void WriteNick(const QString& nick);
QString ReadAnotherNick(); // "Запасной НИК"
void WriteAnotherNick(const QString& nick);
QString ReadAddress(); // dotted IPv4 text, empty by default
void WriteAddress(const QString& address);
int ReadPort(); // 0; a stored number outside 0 to 65535 is a problem and reads as 0
void WritePort(int port);
bool ReadFirstTime(); // true: the next log-in shows the connect dialog first
void WriteFirstTime(bool firstTime);
bool ReadUseTls(); // "UseTLS", false: the connection is encrypted with TLS, on the server's TLS port
void WriteUseTls(bool useTls);
// "UsePassword", false: the nick is registered, and its password (kept in the secret store, never here)
// goes with the log-in. Only over TLS.
bool ReadUsePassword();
void WriteUsePassword(bool usePassword);
QString ReadMsgOnConnect();
void WriteMsgOnConnect(const QString& text);
QString ReadMsgOnDisconnect();
void WriteMsgOnDisconnect(const QString& text);

// The server a connection goes to as "host:port": the host name, or the address when there is none. The
// name that trusted certificates and passwords are kept under.
QString ServerName(const QString& host, const QString& address, int port);

// The fields of the connect dialog as the user typed them.
struct ConnectDialogValues
{
    QString host;
    QString nick;
    QString anotherNick;
    QString address;
    QString port;
    QString msgOnConnect;
    QString msgOnDisconnect;
    bool useTls = false;
    bool usePassword = false;
};

// Stores Host, Nick, AnotherNick, Address, Port, FirstTime := false, MsgOnConnect, MsgOnDisconnect, UseTLS
// and UsePassword, in this order (values already stored keep their place), in one locked update of the
// settings file: all of them or, when it raises, none. The port is checked first: unless it is a decimal
// number from 0 to 65535, blanks around it allowed, nothing is written and std::invalid_argument is raised.
void WriteConnectDialogValues(const ConnectDialogValues& values);

// View options, key Client\Config.
enum class ConfigFlag
{
    ListButton,    // true: captions beside the tool bar images
    ShowCaption,   // true
    FromUpToDown,  // true: new lines at the bottom
    MsgEditor,     // false
    StartOnRun,    // false
    ShowTime,      // false
    BeepOnPublic,  // false
    BeepOnPrivate, // false
};

bool ReadConfigFlag(ConfigFlag flag);
void WriteConfigFlag(ConfigFlag flag, bool on);
// A menu item's toggle: stores the inverse of the stored flag and returns the flag as read back.
bool ToggleConfigFlag(ConfigFlag flag);
int ReadToolsAlign(); // 1 top (the default), 2 bottom, 3 left, 4 right; other values as stored
void WriteToolsAlign(int align);

// Main window, key Client\MainForm; every placement value reads kAbsent when not stored.
enum class MainFormValue
{
    Left,
    Top,
    Width,
    Height,
    SplitterLeft, // "Splitter.Left": width of the user list pane
    SplitterTop,  // "Splitter.Top": height of the input pane
};

int ReadMainFormValue(MainFormValue value);
void WriteMainFormValue(MainFormValue value, int number);
bool ReadMinimized(); // false
void WriteMinimized(bool minimized);

enum class WindowEdge
{
    Left,
    Top,
};

// Notification window, key Client\BeepForm; kAbsent when not stored.
int ReadBeepFormPosition(WindowEdge edge);
void WriteBeepFormPosition(WindowEdge edge, int position);

// The user's own personal card, key Client\Info, in the order the card travels.
enum class InfoField
{
    FirstName,
    LastName,
    Country,
    City,
    Address,
    PhoneHome,
    PhoneWork,
    Email,
    HomePage, // "http://"; every other field "N/A"
    Icq,
    Description,
};

inline constexpr std::array kInfoFields{InfoField::FirstName, InfoField::LastName,   InfoField::Country,
                                        InfoField::City,      InfoField::Address,    InfoField::PhoneHome,
                                        InfoField::PhoneWork, InfoField::Email,      InfoField::HomePage,
                                        InfoField::Icq,       InfoField::Description};

QString ReadInfoField(InfoField field);
void WriteInfoField(InfoField field, const QString& text);

// Servers whose certificate the user trusts although no known authority vouches for it, key
// Client\TrustedServers: one value per server, named "host:port" as the user gave them, holding the SHA-256
// fingerprint of the trusted certificate. Empty when the server has none.
QString ReadTrustedFingerprint(QStringView server);
void WriteTrustedFingerprint(QStringView server, const QString& fingerprint);

// Keyboard macros, key Client\Macros: one text value per macro, named by its hot key text.
struct Macro
{
    QString hotKey;
    QString text;

    bool operator==(const Macro&) const = default;
};

// In the order the store lists them; a value without a name is not a macro and is left out, and so is one
// that is not text (a problem).
QList<Macro> ReadMacros();
// Replaces the whole key, so that deleted macros are gone.
void WriteMacros(const QList<Macro>& macros);

// Floating window of a user, key Client\Float\<nick>.
int ReadFloatPosition(QStringView nick, WindowEdge edge); // kAbsent when not stored
void WriteFloatPosition(QStringView nick, WindowEdge edge, int position);
bool ReadFloatClosed(QStringView nick); // true
void WriteFloatClosed(QStringView nick, bool closed);

// State pictures, key Client\States\<row>: file paths, empty for the built-in picture.
inline constexpr std::array<QStringView, 5> kStatePictureRows{u"Current", u"OnLine", u"OffLine", u"Away",
                                                              u"Busy"};

enum class StatePicture
{
    Plain,    // "Картинка"
    Incoming, // "Входящая картинка"
};

QString ReadStatePicture(QStringView row, StatePicture picture);
void WriteStatePicture(QStringView row, StatePicture picture, const QString& path);

// Attribute sets, key Client\Font\<set>, with the style flags in its subkey Style. Values that are not
// stored read as the caller's current value; style flags as false.
inline constexpr std::array<QStringView, 5> kFontSets{u"Общий", u"Приват", u"Юзеры", u"Ввод сообщений",
                                                      u"OutputAttr"};

enum class FontNumber
{
    Charset,
    Color,
    Height,
    Size,
    BackgroundColor, // "Background Color"
};

enum class FontStyle
{
    Bold,
    Italic,
    Underline,
    Strikeout,
};

QString ReadFontName(QStringView set, const QString& current);
void WriteFontName(QStringView set, const QString& name);
int ReadFontNumber(QStringView set, FontNumber number, int current);
void WriteFontNumber(QStringView set, FontNumber number, int value);
bool ReadFontStyle(QStringView set, FontStyle style);
void WriteFontStyle(QStringView set, FontStyle style, bool on);

// Autostart (ReadAutostart, WriteAutostart, DeleteAutostart: autostart.h). It is on when the value is not
// empty; the toggle removes the value or writes `executablePath` with `arguments`, and returns the state
// read back.
bool IsAutostartOn();
bool ToggleAutostart(const QString& executablePath, const QStringList& arguments = {});

} // namespace kovrel

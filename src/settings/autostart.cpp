// SPDX-License-Identifier: GPL-3.0-or-later
#include "autostart.h"

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

#include "settings_error.h"
#include "settings_io.h"

namespace kovrel {

using namespace Qt::Literals::StringLiterals;

namespace {

// Characters that oblige the desktop entry format to quote a command line argument.
constexpr QStringView kReservedCharacters = u" \t\n\"'\\><~|&;$*?#()`";
// Characters escaped with a backslash inside a quoted argument.
constexpr QStringView kEscapedInQuotes = u"\"`$\\";

struct DesktopEntry
{
    QString exec; // with the string escapes undone, still quoted
    bool hidden = false;
};

QString valueName()
{
    return QString::fromLatin1(kAutostartValueName);
}

QString quotedArgument(const QString& argument)
{
    if (std::none_of(argument.begin(), argument.end(),
                     [](QChar c) { return kReservedCharacters.contains(c); }))
        return argument;
    QString quoted = u"\""_s;
    for (const QChar c : argument) {
        if (kEscapedInQuotes.contains(c))
            quoted += u'\\';
        quoted += c;
    }
    return quoted + u'"';
}

QString commandLine(const QString& executablePath, const QStringList& arguments)
{
    QStringList quoted{quotedArgument(executablePath)};
    for (const QString& argument : arguments)
        quoted << quotedArgument(argument);
    return quoted.join(u' ');
}

// Exec is a string value, so the backslashes of the quoting are escaped once more; "%" starts a field code,
// so a literal one is doubled.
QString execValue(const QString& command)
{
    QString value;
    for (const QChar c : command) {
        switch (c.unicode()) {
        case u'\\':
            value += u"\\\\"_s;
            break;
        case u'\n':
            value += u"\\n"_s;
            break;
        case u'\t':
            value += u"\\t"_s;
            break;
        case u'\r':
            value += u"\\r"_s;
            break;
        case u'%':
            value += u"%%"_s;
            break;
        default:
            value += c;
        }
    }
    return value;
}

QString unescapedString(QStringView value)
{
    QString text;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            text += value[i];
            continue;
        }
        switch (value[++i].unicode()) {
        case u's':
            text += u' ';
            break;
        case u'n':
            text += u'\n';
            break;
        case u't':
            text += u'\t';
            break;
        case u'r':
            text += u'\r';
            break;
        case u'\\':
            text += u'\\';
            break;
        default:
            text += u'\\' + QString(value[i]);
        }
    }
    return text;
}

// The program a command line starts: its first argument, unquoted.
QString firstArgument(QStringView command)
{
    command = command.trimmed();
    QString argument;
    if (command.startsWith(u'"')) {
        for (qsizetype i = 1; i < command.size() && command[i] != u'"'; ++i) {
            if (command[i] == u'\\' && i + 1 < command.size())
                ++i;
            argument += command[i];
        }
    } else {
        const auto end = std::find_if(command.begin(), command.end(), [](QChar c) { return c.isSpace(); });
        argument = command.first(end - command.begin()).toString();
    }
    return argument.replace(u"%%"_s, u"%"_s);
}

DesktopEntry parseDesktopEntry(const QString& text)
{
    DesktopEntry entry;
    bool inMainGroup = false;
    for (const QString& rawLine : text.split(u'\n')) {
        const QStringView line = QStringView(rawLine).trimmed();
        if (line.startsWith(u'[')) {
            inMainGroup = line == u"[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inMainGroup || line.startsWith(u'#') || equals < 0)
            continue;
        const QStringView key = line.first(equals).trimmed();
        const QStringView value = line.sliced(equals + 1).trimmed();
        if (key == u"Exec")
            entry.exec = unescapedString(value);
        else if (key == u"Hidden")
            entry.hidden = value == u"true";
    }
    return entry;
}

bool isInstalledCopy(const QString& program)
{
    const QDir folder = QFileInfo(program).absoluteDir();
    return QFileInfo::exists(folder.filePath(u"../share/applications/kovrel.desktop"_s));
}

QString entryText(const QString& command)
{
    return u"[Desktop Entry]\nType=Application\nName=%1\nExec=%2\n"_s.arg(valueName(), execValue(command));
}

} // namespace

QString autostartEntryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           u"/autostart/kovrel.desktop"_s;
}

QString ReadAutostart()
{
    const std::optional<QByteArray> content =
        readFileIfExists(autostartEntryPath(), SettingsFailure(&SettingsError::getDataFailed, valueName()));
    if (!content)
        return {};
    const DesktopEntry entry = parseDesktopEntry(QString::fromUtf8(*content));
    return entry.hidden ? QString() : firstArgument(entry.exec);
}

void WriteAutostart(const QString& executablePath, const QStringList& arguments)
{
    if (executablePath.isEmpty())
        return DeleteAutostart();
    const QString path = autostartEntryPath();
    const SettingsFailure createFailure(&SettingsError::createKeyFailed,
                                        QString::fromLatin1(kAutostartKeyPath));
    ensureFolderOf(path, createFailure);
    replaceFile(path, entryText(commandLine(executablePath, arguments)).toUtf8(), createFailure,
                SettingsFailure(&SettingsError::setDataFailed, valueName()));
}

void DeleteAutostart()
{
    QFile entry(autostartEntryPath());
    if (!entry.remove() && entry.exists())
        throw SettingsError::deleteValueFailed(valueName());
}

QString InstalledProgramPath()
{
    return QStringLiteral(KOVREL_INSTALLED_PROGRAM);
}

QStringList AutostartArguments()
{
    const QString chosenSettings = qEnvironmentVariable("KOVREL_SETTINGS");
    if (chosenSettings.isEmpty())
        return {};
    return {u"--settings"_s, chosenSettings};
}

QString AutostartProgram(const QString& runningProgram, const QString& installedProgram)
{
    if (isInstalledCopy(runningProgram) || !QFileInfo(installedProgram).isExecutable())
        return runningProgram;
    return installedProgram;
}

} // namespace kovrel

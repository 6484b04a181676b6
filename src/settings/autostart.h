// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The autostart value "Kovrel Client" of the per-user autostart list, kept as the XDG autostart entry
// $XDG_CONFIG_HOME/autostart/kovrel.desktop (by default in ~/.config/autostart). The value is present when
// the entry exists, is not hidden and has a command; its data is the program the command starts.
namespace kovrel {

inline constexpr char kAutostartValueName[] = "Kovrel Client";
// The key that holds the value in the registry layout; it names the value in error messages.
inline constexpr char kAutostartKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Read anew at every access.
QString autostartEntryPath();

// The executable path, or the empty text when the value is not present.
QString ReadAutostart();
// Writes the entry starting `executablePath` with `arguments`; an empty path removes the entry, as an empty
// value counts as no autostart.
void WriteAutostart(const QString& executablePath, const QStringList& arguments = {});
// Removing an entry that does not exist does nothing.
void DeleteAutostart();

// The client as `cmake --install` puts it in the prefix the build was configured for.
QString InstalledProgramPath();
// The program an autostart entry should start. An installed copy of the client (one whose folder has
// ../share/applications/kovrel.desktop beside it, wherever its prefix was moved) starts itself; a client
// run from elsewhere, such as a build tree, starts `installedProgram` when that exists, as it is the
// program the desktop menu starts too, and itself otherwise.
QString AutostartProgram(const QString& runningProgram, const QString& installedProgram);
// The arguments that make the client started at log-in use the settings file this one was told to use
// (--settings or $KOVREL_SETTINGS, which the session at log-in does not have); none for the default file.
QStringList AutostartArguments();

} // namespace kovrel

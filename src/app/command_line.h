// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace kovrel {

// What the command line asks for: a server (and nick) to log in to at once, and the settings file.
struct LaunchOptions
{
    QString host;
    quint16 port = 0;
    QString nick;
    QString settingsFile; // empty: $KOVREL_SETTINGS or the default file
    bool hasServer() const { return !host.isEmpty(); }
};

struct CommandLineResult
{
    std::optional<LaunchOptions> options; // empty: stop, with `message` and `exitCode`
    QString message;
    int exitCode = 0;
};

// Reads `kovrel [--server HOST:PORT] [--nick NICK] [--settings FILE]`; --help and errors give a message to
// print and stop.
CommandLineResult ParseCommandLine(const QStringList& arguments);

// Stores server and nick as the connect dialog would, so that the first log-in needs no dialog.
void StoreLaunchOptions(const LaunchOptions& options);

} // namespace kovrel

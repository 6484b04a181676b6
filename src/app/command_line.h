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
    bool useTls = false;
    // The server's certificate fingerprint given to the user: trusted for that server without a question.
    QString trustedFingerprint;
    QString settingsFile; // empty: $KOVREL_SETTINGS or the default file
    bool hasServer() const { return !host.isEmpty(); }
};

struct CommandLineResult
{
    std::optional<LaunchOptions> options; // empty: stop, with `message` and `exitCode`
    QString message;
    int exitCode = 0;
};

// Reads `kovrel [--server HOST:PORT [--tls [--fingerprint SHA256]]] [--nick NICK] [--settings FILE]`;
// --help and errors give a message to print and stop.
CommandLineResult ParseCommandLine(const QStringList& arguments);

// Stores server, encryption and nick as the connect dialog would, so that the first log-in needs no
// dialog, and the fingerprint as trusted for the server.
void StoreLaunchOptions(const LaunchOptions& options);

} // namespace kovrel

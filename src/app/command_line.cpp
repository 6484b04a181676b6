// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_line.h"

#include "kovrel_version.h"
#include "server_trust.h"
#include "settings_layout.h"

#include <QCommandLineParser>
#include <QHostAddress>

namespace kovrel {

namespace {

bool isDottedAddress(const QString& host)
{
    QHostAddress address;
    return address.setAddress(host) && address.protocol() == QAbstractSocket::IPv4Protocol;
}

} // namespace

CommandLineResult ParseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Kovrel: a desktop client for small text-chat servers."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption(QStringLiteral("version"),
                                           QStringLiteral("Print the version and exit."));
    const QCommandLineOption server(
        QStringLiteral("server"),
        QStringLiteral("Log in to HOST:PORT at start (a host name or a dotted IPv4 "
                       "address); stored like the server settings dialog does."),
        QStringLiteral("HOST:PORT"));
    const QCommandLineOption tls(QStringLiteral("tls"),
                                 QStringLiteral("Encrypt the connection to --server with TLS (PORT is the "
                                                "server's TLS port); stored."));
    const QCommandLineOption fingerprint(
        QStringLiteral("fingerprint"),
        QStringLiteral("With --tls: trust the server's certificate whose SHA-256 fingerprint this is, as "
                       "kovrel-server --fingerprint prints it (stored)."),
        QStringLiteral("SHA256"));
    const QCommandLineOption nick(QStringLiteral("nick"), QStringLiteral("Log in under NICK (stored)."),
                                  QStringLiteral("NICK"));
    const QCommandLineOption settings(
        QStringLiteral("settings"),
        QStringLiteral("Keep every setting in FILE instead of the default settings file "
                       "(overrides $KOVREL_SETTINGS)."),
        QStringLiteral("FILE"));
    parser.addOptions({versionOption, server, tls, fingerprint, nick, settings});
    if (!parser.parse(arguments)) {
        return {std::nullopt, parser.errorText() + QLatin1Char('\n') + parser.helpText(), 2};
    }
    if (parser.isSet(helpOption)) {
        return {std::nullopt, parser.helpText(), 0};
    }
    if (parser.isSet(versionOption)) {
        const QString version = QString::fromLatin1(kVersion.data(), static_cast<qsizetype>(kVersion.size()));
        return {std::nullopt, QStringLiteral("kovrel %1\n").arg(version), 0};
    }
    LaunchOptions options;
    options.nick = parser.value(nick);
    options.settingsFile = parser.value(settings);
    if (parser.isSet(settings) && options.settingsFile.isEmpty()) {
        return {std::nullopt, QStringLiteral("--settings needs a file name\n"), 2};
    }
    if (parser.isSet(server)) {
        const QString value = parser.value(server);
        const qsizetype colon = value.lastIndexOf(QLatin1Char(':'));
        bool portOk = false;
        const uint port = colon > 0 ? value.mid(colon + 1).toUInt(&portOk) : 0;
        if (!portOk || port == 0 || port > 65535) {
            return {std::nullopt,
                    QStringLiteral("--server needs HOST:PORT with a port from 1 to 65535, not \"%1\"\n")
                        .arg(value),
                    2};
        }
        options.host = value.left(colon);
        options.port = static_cast<quint16>(port);
    }
    options.useTls = parser.isSet(tls);
    if (options.useTls && !options.hasServer()) {
        return {std::nullopt, QStringLiteral("--tls needs --server\n"), 2};
    }
    if (parser.isSet(fingerprint)) {
        const std::optional<QString> normalized = NormalizedFingerprint(parser.value(fingerprint));
        if (!options.useTls) {
            return {std::nullopt, QStringLiteral("--fingerprint needs --tls\n"), 2};
        }
        if (!normalized) {
            return {std::nullopt,
                    QStringLiteral("--fingerprint needs the 32 bytes of a SHA-256 digest in hexadecimal, "
                                   "not \"%1\"\n")
                        .arg(parser.value(fingerprint)),
                    2};
        }
        options.trustedFingerprint = *normalized;
    }
    if (!options.nick.isNull() && options.nick.trimmed().isEmpty()) {
        return {std::nullopt, QStringLiteral("--nick needs a nick that is not blank\n"), 2};
    }
    return {options, {}, 0};
}

void StoreLaunchOptions(const LaunchOptions& options)
{
    if (options.hasServer()) {
        const bool dotted = isDottedAddress(options.host);
        WriteHost(dotted ? QString() : options.host);
        if (dotted) {
            WriteAddress(options.host);
        }
        WritePort(options.port);
        WriteUseTls(options.useTls);
        WriteFirstTime(false);
    }
    if (!options.trustedFingerprint.isEmpty()) {
        WriteTrustedFingerprint(ServerName(options.host, QString(), options.port),
                                options.trustedFingerprint);
    }
    if (!options.nick.isEmpty()) {
        WriteNick(options.nick);
    }
}

} // namespace kovrel

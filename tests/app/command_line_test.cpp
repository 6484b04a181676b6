// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_line.h"

#include "kovrel_version.h"
#include "settings_layout.h"
#include "settings_sandbox.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace kovrel {
namespace {

TEST(CommandLine, ReadsServerAndNick)
{
    const CommandLineResult result =
        ParseCommandLine({"kovrel", "--server", "chat.office.lan:4040", "--nick", "Вася"});
    ASSERT_TRUE(result.options);
    EXPECT_EQ(result.options->host, "chat.office.lan");
    EXPECT_EQ(result.options->port, 4040);
    EXPECT_EQ(result.options->nick, "Вася");
    EXPECT_FALSE(ParseCommandLine({"kovrel"}).options->hasServer());
}

TEST(CommandLine, RefusesWhatItCannotUse)
{
    for (const QStringList& arguments :
         {QStringList{"kovrel", "--server", "host"}, QStringList{"kovrel", "--server", "host:0"},
          QStringList{"kovrel", "--server", "host:70000"}, QStringList{"kovrel", "--server", ":4040"},
          QStringList{"kovrel", "--nick", "  "}, QStringList{"kovrel", "--colour"}}) {
        const CommandLineResult result = ParseCommandLine(arguments);
        EXPECT_FALSE(result.options) << arguments.join(' ').toStdString();
        EXPECT_EQ(result.exitCode, 2);
    }
    const CommandLineResult help = ParseCommandLine({"kovrel", "--help"});
    EXPECT_FALSE(help.options);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.message.contains("--server"));
    EXPECT_TRUE(help.message.contains("--version"));
    const CommandLineResult version = ParseCommandLine({"kovrel", "--version"});
    EXPECT_FALSE(version.options);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.message, QStringLiteral("kovrel %1\n").arg(QString::fromLatin1(kVersion.data())));
}

TEST(CommandLine, ReadsTheSettingsFile)
{
    EXPECT_TRUE(ParseCommandLine({"kovrel"}).options->settingsFile.isEmpty());
    const CommandLineResult result = ParseCommandLine({"kovrel", "--settings", "/media/stick/kovrel.reg"});
    ASSERT_TRUE(result.options);
    EXPECT_EQ(result.options->settingsFile, "/media/stick/kovrel.reg");
    EXPECT_TRUE(ParseCommandLine({"kovrel", "--help"}).message.contains("--settings"));
    for (const QStringList& arguments :
         {QStringList{"kovrel", "--settings"}, QStringList{"kovrel", "--settings="}}) {
        const CommandLineResult refused = ParseCommandLine(arguments);
        EXPECT_FALSE(refused.options) << arguments.join(' ').toStdString();
        EXPECT_EQ(refused.exitCode, 2);
    }
}

TEST(CommandLine, HelpAndVersionNeedNoDisplay)
{
    for (const char* option : {"--help", "--version"}) {
        QProcess kovrel;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        kovrel.setProcessEnvironment(environment);
        kovrel.start(QStringLiteral(KOVREL_CLIENT_BINARY), {QLatin1String(option)});
        ASSERT_TRUE(kovrel.waitForFinished(10000)) << option;
        EXPECT_EQ(kovrel.exitStatus(), QProcess::NormalExit) << option;
        EXPECT_EQ(kovrel.exitCode(), 0) << option;
        EXPECT_TRUE(kovrel.readAllStandardOutput().contains("kovrel")) << option;
    }
}

TEST(CommandLine, StoresTheServerAsTheConnectDialogWould)
{
    test::SettingsSandbox sandbox;
    StoreLaunchOptions(*ParseCommandLine({"kovrel", "--server", "127.0.0.1:4041", "--nick", "Петя"}).options);
    EXPECT_EQ(ReadHost(), "") << "a dotted address is connected to by address";
    EXPECT_EQ(ReadAddress(), "127.0.0.1");
    EXPECT_EQ(ReadPort(), 4041);
    EXPECT_EQ(ReadNick(), "Петя");
    EXPECT_FALSE(ReadUseTls());
    EXPECT_FALSE(ReadFirstTime()) << "no dialog at the first log-in";
    StoreLaunchOptions(*ParseCommandLine({"kovrel", "--server", "chat.lan:4040"}).options);
    EXPECT_EQ(ReadHost(), "chat.lan");
    EXPECT_EQ(ReadNick(), "Петя") << "no nick given, the stored one stays";
}

TEST(CommandLine, TlsWithTheFingerprintTheAdministratorGave)
{
    test::SettingsSandbox sandbox;
    const QString fingerprint = QStringLiteral("0A:1B:2C:3D:4E:5F:60:71:82:93:A4:B5:C6:D7:E8:F9:"
                                               "0A:1B:2C:3D:4E:5F:60:71:82:93:A4:B5:C6:D7:E8:F9");
    // Pasted in lower case and with blanks, as it may come in a mail.
    const CommandLineResult result =
        ParseCommandLine({"kovrel", "--server", "chat.lan:4041", "--tls", "--fingerprint",
                          fingerprint.toLower().replace(u':', u' ')});
    ASSERT_TRUE(result.options) << result.message.toStdString();
    StoreLaunchOptions(*result.options);
    EXPECT_TRUE(ReadUseTls());
    EXPECT_EQ(ReadTrustedFingerprint(u"chat.lan:4041"), fingerprint);

    for (const QStringList& arguments :
         {QStringList{"kovrel", "--tls"},
          QStringList{"kovrel", "--server", "h:1", "--fingerprint", fingerprint},
          QStringList{"kovrel", "--server", "h:1", "--tls", "--fingerprint", "AB:CD"},
          QStringList{"kovrel", "--server", "h:1", "--tls", "--fingerprint",
                      QString(fingerprint).replace(u'0', u'G')}}) {
        const CommandLineResult refused = ParseCommandLine(arguments);
        EXPECT_FALSE(refused.options) << arguments.join(' ').toStdString();
        EXPECT_EQ(refused.exitCode, 2);
    }
}

} // namespace
} // namespace kovrel

#include "command_line.h"

#include "settings_layout.h"
#include "settings_sandbox.h"

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
}

TEST(CommandLine, StoresTheServerAsTheConnectDialogWould)
{
    test::SettingsSandbox sandbox;
    StoreLaunchOptions({QStringLiteral("127.0.0.1"), 4041, QStringLiteral("Петя")});
    EXPECT_EQ(ReadHost(), "") << "a dotted address is connected to by address";
    EXPECT_EQ(ReadAddress(), "127.0.0.1");
    EXPECT_EQ(ReadPort(), 4041);
    EXPECT_EQ(ReadNick(), "Петя");
    EXPECT_FALSE(ReadFirstTime()) << "no dialog at the first log-in";
    StoreLaunchOptions({QStringLiteral("chat.lan"), 4040, QString()});
    EXPECT_EQ(ReadHost(), "chat.lan");
    EXPECT_EQ(ReadNick(), "Петя") << "no nick given, the stored one stays";
}

} // namespace
} // namespace kovrel

// SPDX-License-Identifier: GPL-3.0-or-later
#include "options.h"

#include <gtest/gtest.h>

#include <vector>

namespace kovrel::server {
namespace {

using namespace std::chrono_literals;

ServerOptions parse(std::vector<std::string_view> arguments)
{
    return parseOptions(arguments);
}

TEST(Options, DefaultsServeThisMachineOnPort4040)
{
    const ServerOptions options = parse({});
    EXPECT_EQ(options.server.listen.plain,
              asio::ip::tcp::endpoint(asio::ip::make_address("127.0.0.1"), 4040));
    EXPECT_EQ(options.server.maxClients, 500u);
    EXPECT_EQ(options.server.maxPerAddress, 16u);
    EXPECT_EQ(options.server.backlog, 0); // the kernel's maximum
    EXPECT_EQ(options.server.session.probeInterval, 60s);
    EXPECT_EQ(options.server.session.loginTimeout, 30s);
    EXPECT_EQ(options.server.session.chatRate, 20);
    EXPECT_EQ(options.server.session.chatBurst, 40);
    EXPECT_EQ(options.server.session.chatBytes, 65536);
    EXPECT_EQ(options.server.session.chatBurstBytes, 131072);
    EXPECT_FALSE(options.blacklistFile);
    EXPECT_FALSE(options.stateFile);
    EXPECT_EQ(options.cards.perAddress, 50u);
    EXPECT_EQ(options.cards.lifetime, std::chrono::days(365));
    EXPECT_FALSE(options.verbose);
    EXPECT_FALSE(options.version);
}

TEST(Options, ReadsEveryOptionInBothSpellings)
{
    const ServerOptions options = parse({"--listen",
                                         "0.0.0.0:0",
                                         "--blacklist=/etc/kovrel/blacklist",
                                         "--state",
                                         "/var/lib/kovrel/state",
                                         "--max-clients=50",
                                         "--probe-interval",
                                         "5",
                                         "--chat-rate=0",
                                         "--verbose",
                                         "--login-timeout=7",
                                         "--max-per-address",
                                         "3",
                                         "--chat-bytes",
                                         "1000",
                                         "--max-cards-per-address=5",
                                         "--card-days",
                                         "30",
                                         "--backlog",
                                         "128"});
    EXPECT_EQ(options.server.listen.plain, asio::ip::tcp::endpoint(asio::ip::make_address("0.0.0.0"), 0));
    EXPECT_EQ(options.blacklistFile, "/etc/kovrel/blacklist");
    EXPECT_EQ(options.stateFile, "/var/lib/kovrel/state");
    EXPECT_EQ(options.server.maxClients, 50u);
    EXPECT_EQ(options.server.session.probeInterval, 5s);
    EXPECT_EQ(options.server.session.loginTimeout, 7s);
    EXPECT_EQ(options.server.maxPerAddress, 3u);
    EXPECT_EQ(options.server.backlog, 128);
    EXPECT_EQ(options.server.session.chatRate, 0);
    EXPECT_EQ(options.server.session.chatBytes, 1000);
    EXPECT_EQ(options.server.session.chatBurstBytes, 2000);
    EXPECT_EQ(options.cards.perAddress, 5u);
    EXPECT_EQ(options.cards.lifetime, std::chrono::days(30));
    EXPECT_TRUE(options.verbose);
    EXPECT_TRUE(parse({"--help"}).help);
}

// The other options are parsed as usual; main() answers --version before acting on any of them.
TEST(Options, VersionGoesWithAnyOtherOptionAndIsInTheUsage)
{
    EXPECT_TRUE(parse({"--version"}).version);
    EXPECT_TRUE(parse({"--listen", "0.0.0.0:0", "--version", "--state", "/nonexistent/state"}).version);
    EXPECT_NE(usage().find("\n  --version "), std::string::npos) << usage();
}

TEST(Options, ReadsIpv6ListenAddressesInBrackets)
{
    EXPECT_EQ(parseEndpoint("[::]:4040"), asio::ip::tcp::endpoint(asio::ip::make_address("::"), 4040));
    EXPECT_EQ(parseEndpoint("[::1]:1"), asio::ip::tcp::endpoint(asio::ip::make_address("::1"), 1));
}

TEST(Options, RefusesWhatItCannotRunWith)
{
    for (const std::vector<std::string_view>& arguments :
         std::vector<std::vector<std::string_view>>{{"--listen"},
                                                    {"--listen", "localhost:4040"},
                                                    {"--listen", "127.0.0.1"},
                                                    {"--listen", "1.2.3.4:65536"},
                                                    {"--listen", "1.2.3.4:-1"},
                                                    {"--max-clients", "0"},
                                                    {"--max-clients", "ten"},
                                                    {"--probe-interval", "0"},
                                                    {"--login-timeout", "0"},
                                                    {"--max-per-address", "0"},
                                                    {"--chat-rate", "-5"},
                                                    {"--chat-bytes", "1k"},
                                                    {"--max-cards-per-address", "5001"},
                                                    {"--card-days", "0"},
                                                    {"--verbose=yes"},
                                                    {"--version=1"},
                                                    {"--port", "4040"},
                                                    {"4040"}}) {
        EXPECT_THROW(parse(arguments), UsageError) << arguments.front();
    }
}

TEST(Options, ClusterTakesARedisAddressAndAPresenceExpiry)
{
    EXPECT_FALSE(parse({}).cluster);
    const ServerOptions plain = parse({"--cluster", "redis://10.0.0.5:6380"});
    ASSERT_TRUE(plain.cluster);
    EXPECT_EQ(plain.cluster->redis.host, "10.0.0.5");
    EXPECT_EQ(plain.cluster->redis.port, 6380);
    EXPECT_EQ(plain.cluster->redis.database, 0u);
    EXPECT_EQ(plain.cluster->presenceTtl, 15s);

    const ServerOptions full = parse({"--presence-ttl=3", "--cluster=redis://[::1]:6379/2"});
    EXPECT_EQ(full.cluster->redis.host, "::1");
    EXPECT_EQ(full.cluster->redis.database, 2u);
    EXPECT_EQ(full.cluster->presenceTtl, 3s);
}

TEST(Options, ARedisAddressMayCarryALogInThatTheLogNeverShows)
{
    const RedisAddress withPassword = parseRedisAddress("redis://:s%40cret:42@10.0.0.5:6380/1");
    EXPECT_EQ(withPassword.user, "");
    EXPECT_EQ(withPassword.password, "s@cret:42");
    EXPECT_EQ(withPassword.host, "10.0.0.5");
    EXPECT_EQ(withPassword.text(), "redis://:***@10.0.0.5:6380/1");

    const RedisAddress withUser = parseRedisAddress("redis://chat:p%2Fw@[::1]:6379");
    EXPECT_EQ(withUser.user, "chat");
    EXPECT_EQ(withUser.password, "p/w");
    EXPECT_EQ(withUser.host, "::1");
    EXPECT_EQ(withUser.text(), "redis://chat:***@::1:6379/0");
    EXPECT_EQ(parseRedisAddress("redis://h:1").text(), "redis://h:1/0");

    // A refusal may be logged: it does not repeat the password.
    for (const std::string_view address : {"redis://chat:s3cret@:1", "redis://:s3cret%zz@host:1"}) {
        try {
            parseRedisAddress(address);
            ADD_FAILURE() << address << " taken";
        } catch (const UsageError& error) {
            EXPECT_EQ(std::string(error.what()).find("s3cret"), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find("redis://***@"), std::string::npos) << error.what();
        }
    }
}

TEST(Options, ClusterRefusesBadAddressesAndOptionsThatDoNotGoWithIt)
{
    for (const std::string_view address :
         {"10.0.0.5:6379", "redis://10.0.0.5", "redis://:6379", "redis://host:0", "redis://host:6379/x",
          "redis://chat@host:1", "redis://:@host:1", "redis://:%4@host:1", "redis://:%zz@host:1",
          "redis://:pw@:1"}) {
        EXPECT_THROW(parse({"--cluster", address}), UsageError) << address;
    }
    EXPECT_THROW(parse({"--presence-ttl", "5"}), UsageError);
    EXPECT_THROW(parse({"--cluster", "redis://h:1", "--presence-ttl", "0"}), UsageError);
    EXPECT_THROW(parse({"--cluster", "redis://h:1", "--state", "/tmp/state"}), UsageError);
}

TEST(Options, TlsListenersGoBesideThePlainOneOrInsteadOfIt)
{
    const ServerOptions both = parse({"--tls-listen", "0.0.0.0:4041", "--tls-listen=[::1]:4041"});
    EXPECT_TRUE(both.server.listen.plain);
    EXPECT_EQ(both.server.listen.tls.size(), 2u);
    const ServerOptions tlsOnly = parse(
        {"--listen", "none", "--tls-listen", "0.0.0.0:4041", "--tls-cert", "a.crt", "--tls-key", "a.key"});
    EXPECT_FALSE(tlsOnly.server.listen.plain);
    EXPECT_EQ(tlsOnly.tlsCertificate, "a.crt");
    EXPECT_TRUE(parse({"--fingerprint", "--tls-dir", "/tmp/tls"}).fingerprint);

    EXPECT_THROW(parse({"--listen", "none"}), UsageError);
    EXPECT_THROW(parse({"--tls-listen", "0.0.0.0:4041", "--tls-cert", "a.crt"}), UsageError);
    EXPECT_THROW(parse({"--tls-key", "a.key"}), UsageError);
    EXPECT_THROW(parse({"--tls-cert", "a.crt", "--tls-key", "a.key", "--tls-dir", "/tmp/tls"}), UsageError);
    EXPECT_THROW(parse({"--fingerprint=yes"}), UsageError);
}

TEST(Options, ThreadsGoWithAStandaloneServerAndWithACluster)
{
    EXPECT_EQ(parse({"--threads", "2", "--state", "/tmp/state"}).threads, 2u);
    EXPECT_EQ(parse({"--threads", "4", "--cluster", "redis://h:1"}).threads, 4u);
    EXPECT_THROW(parse({"--threads", "0"}), UsageError);
}

TEST(Options, AccountCommandsNeedWhereTheAccountsAreKeptAndGoOneAtATime)
{
    EXPECT_FALSE(parse({}).accountCommand);
    EXPECT_EQ(parse({"--state", "/var/lib/kovrel/state", "--add-account", "Вася"}).accountCommand,
              (AccountCommand{AccountCommand::Kind::Add, "Вася"}));
    EXPECT_EQ(parse({"--remove-account=Vasya", "--cluster", "redis://10.0.0.5:6379"}).accountCommand,
              (AccountCommand{AccountCommand::Kind::Remove, "Vasya"}));
    EXPECT_EQ(parse({"--list-accounts", "--state", "state"}).accountCommand,
              (AccountCommand{AccountCommand::Kind::List, {}}));

    EXPECT_THROW(parse({"--add-account", "Vasya"}), UsageError);
    EXPECT_THROW(parse({"--list-accounts"}), UsageError);
    EXPECT_THROW(parse({"--state", "state", "--add-account"}), UsageError);
    EXPECT_THROW(parse({"--state", "state", "--list-accounts=all"}), UsageError);
    EXPECT_THROW(parse({"--state", "state", "--add-account", "A", "--remove-account", "B"}), UsageError);
    EXPECT_THROW(parse({"--state", "state", "--list-accounts", "--list-accounts"}), UsageError);
    try {
        parse({"--remove-account", "Vasya"});
    } catch (const UsageError& error) {
        EXPECT_NE(std::string(error.what()).find("--remove-account needs --state or --cluster"),
                  std::string::npos)
            << error.what();
    }
}

} // namespace
} // namespace kovrel::server

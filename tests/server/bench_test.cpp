// SPDX-License-Identifier: GPL-3.0-or-later
// kovrel-bench against the real server: a clean run passes, and what the server drops is counted, in the
// sending mode and in a log-in storm, over plain TCP and over TLS. Both programs answer --version without
// starting their work.

#include "server_process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include <sys/resource.h>

#include "cp1251.h"
#include "kovrel_version.h"
#include "test_client.h"

namespace kovrel::server::test {
namespace {

std::vector<std::string> benchCommand(unsigned short port, std::vector<std::string> options)
{
    std::vector<std::string> command = {KOVREL_BENCH_PATH, "--server", "127.0.0.1:" + std::to_string(port)};
    command.insert(command.end(), options.begin(), options.end());
    return command;
}

std::vector<std::string> benchCommand(const ServerProcess& server, std::vector<std::string> options)
{
    return benchCommand(server.port(), std::move(options));
}

// A server with a TLS listener beside its plain one, its own certificate kept in `folder`.
std::vector<std::string> withTls(const std::filesystem::path& folder)
{
    return {"--tls-listen", "127.0.0.1:0", "--tls-dir", folder.string()};
}

TEST(Bench, ACleanRunPrintsItsSummaryAndSucceeds)
{
    struct Run
    {
        std::vector<std::string> options;
        std::string summaryStart;
    };
    // Public: every message reaches all five; private: the addressee and the sender's echo.
    const Run runs[] = {{{"--window", "3"}, "clients 5, sent 100, deliveries 500, "},
                        {{"--private"}, "clients 5, sent 100, deliveries 200, "}};
    ServerProcess server;
    for (const Run& run : runs) {
        std::vector<std::string> options = {"--clients", "5", "--messages",   "20",
                                            "--threads", "2", "--server-pid", std::to_string(server.pid())};
        options.insert(options.end(), run.options.begin(), run.options.end());
        const ProgramResult result = runProgram(benchCommand(server, options));
        EXPECT_EQ(result.exitStatus, 0) << result.output;
        EXPECT_TRUE(result.output.starts_with(run.summaryStart)) << result.output;
        EXPECT_NE(result.output.find("lost 0, corrupted 0, server CPU user "), std::string::npos)
            << result.output;
        EXPECT_NE(result.output.find(" % kernel), per delivery "), std::string::npos) << result.output;
    }
}

TEST(Bench, MessagesTheServerDropsCountAsLostAndFailTheRun)
{
    ServerProcess server({"--chat-rate", "1"});
    const ProgramResult result = runProgram(
        benchCommand(server, {"--clients", "2", "--messages", "50", "--window", "50", "--timeout", "1"}));
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.output.find("lost 0,"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("corrupted 0"), std::string::npos) << result.output;
}

TEST(Bench, AStormLogsEveryoneInAtOnceAndReportsTheServersCpu)
{
    ServerProcess server({"--max-per-address", "1000"});
    const ProgramResult result =
        runProgram(benchCommand(server, {"--storm", "--clients", "300", "--threads", "2", "--server-pid",
                                         std::to_string(server.pid())}));
    EXPECT_EQ(result.exitStatus, 0) << result.output;
    EXPECT_TRUE(result.output.starts_with(
        "storm: clients 300, connected 300, refused 0, lost 0, logged in 300, all seen in "))
        << result.output;
    EXPECT_NE(result.output.find(" s, server CPU user "), std::string::npos) << result.output;
    EXPECT_EQ(result.output.find("per delivery"), std::string::npos) << result.output;
}

// Ten thousand clients connect at once, then log in at once, to a server on one thread and on two: the
// kernel's listen queue does not overflow, and nobody is lost. The sanitizers slow everything several
// times over: their builds storm with fewer.
TEST(Bench, AStormOfTenThousandLosesNobody)
{
#ifdef KOVREL_SANITIZED_BUILD
    constexpr int kClients = 2000;
#else
    constexpr int kClients = 10000;
#endif
    rlimit files{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &files), 0);
    if (files.rlim_max != RLIM_INFINITY && files.rlim_max < kClients + 100) {
        GTEST_SKIP() << "the hard limit of open files (" << files.rlim_max << ") is below " << kClients;
    }
    const std::string clients = std::to_string(kClients);
    for (const char* threads : {"1", "2"}) {
        ServerProcess server({"--threads", threads, "--max-clients", clients, "--max-per-address", clients,
                              "--login-timeout", "300"});
        const ProgramResult result = runProgram(
            benchCommand(server, {"--storm", "--clients", clients, "--threads", "2", "--timeout", "60"}));
        EXPECT_EQ(result.exitStatus, 0) << result.output;
        EXPECT_TRUE(result.output.starts_with("storm: clients " + clients + ", connected " + clients +
                                              ", refused 0, lost 0, logged in " + clients + ", all seen in "))
            << "--threads " << threads << ": " << result.output;
        EXPECT_EQ(server.log().find("listen-overflow"), std::string::npos) << server.log();
    }
}

// The server completes the connections beyond its limit, then closes them at once: they connected and were
// lost, and nobody can see everyone.
TEST(Bench, AStormBeyondTheServersLimitLosesConnectionsAndFails)
{
    ServerProcess server({"--max-clients", "100", "--max-per-address", "1000"});
    const ProgramResult result =
        runProgram(benchCommand(server, {"--storm", "--clients", "150", "--timeout", "1"}));
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.output,
              "storm: clients 150, connected 150, refused 0, lost 50, logged in 100, not all seen (0 saw "
              "everyone)\n");
}

// Two runs at once, each slow enough to overlap the other: each hears the other's chat and leaves it out.
TEST(Bench, RunsWithDifferentNamesShareAServerAndIgnoreEachOthersChat)
{
    ServerProcess server;
    const auto runNamed = [&](const std::string& name) {
        return runProgram(
            benchCommand(server, {"--name", name, "--clients", "3", "--messages", "20", "--rate", "20"}));
    };
    ProgramResult other;
    std::thread otherRun([&] { other = runNamed("other-"); });
    const ProgramResult mine = runNamed("mine-");
    otherRun.join();
    for (const ProgramResult& result : {mine, other}) {
        EXPECT_EQ(result.exitStatus, 0) << result.output;
        EXPECT_TRUE(result.output.starts_with("clients 3, sent 60, deliveries 180, ")) << result.output;
    }
}

// A prefix typed in Cyrillic reaches the other users as the same letters, in the wire's cp1251.
TEST(Bench, ANamePrefixTypedInUtf8ReachesOthersInCp1251)
{
    ServerProcess server;
    TestClient watcher(server.port());
    watcher.login("watcher");
    const ProgramResult run =
        runProgram(benchCommand(server, {"--name", "Гость-", "--clients", "1", "--messages", "1"}));
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_EQ(watcher.expect("AddUser|"), "AddUser|" + cp1251::fromUtf8("Гость-0"));
}

// TLS clients and plain ones at once in one room, each run slow enough to overlap the other: every line of
// both arrives, and the TLS run reports the server's CPU like a plain one.
TEST(Bench, TlsClientsAndPlainOnesShareARoomAndLoseNothing)
{
    const TemporaryDirectory folder;
    ServerProcess server(withTls(folder.path()));
    ProgramResult plain;
    std::thread plainRun([&] {
        plain = runProgram(
            benchCommand(server, {"--name", "plain-", "--clients", "3", "--messages", "20", "--rate", "30"}));
    });
    const ProgramResult tls = runProgram(benchCommand(
        server.tlsPort(), {"--tls", "--name", "tls-", "--clients", "5", "--messages", "20", "--rate", "50",
                           "--threads", "2", "--server-pid", std::to_string(server.pid())}));
    plainRun.join();
    EXPECT_EQ(tls.exitStatus, 0) << tls.output;
    EXPECT_TRUE(tls.output.starts_with("clients 5, sent 100, deliveries 500, ")) << tls.output;
    EXPECT_NE(tls.output.find("lost 0, corrupted 0, server CPU user "), std::string::npos) << tls.output;
    EXPECT_EQ(plain.exitStatus, 0) << plain.output;
    EXPECT_TRUE(plain.output.starts_with("clients 3, sent 60, deliveries 180, ")) << plain.output;
}

TEST(Bench, ATlsStormLogsEveryoneIn)
{
    const TemporaryDirectory folder;
    ServerProcess server(withTls(folder.path()));
    const ProgramResult result =
        runProgram(benchCommand(server.tlsPort(), {"--tls", "--storm", "--clients", "10"}));
    EXPECT_EQ(result.exitStatus, 0) << result.output;
    EXPECT_TRUE(result.output.starts_with(
        "storm: clients 10, connected 10, refused 0, lost 0, logged in 10, all seen in "))
        << result.output;
}

// The plain port closes a TLS handshake at once: those clients never connected.
TEST(Bench, AFailedTlsHandshakeCountsAsARefusedConnection)
{
    ServerProcess server;
    const ProgramResult result = runProgram(benchCommand(server, {"--tls", "--storm", "--clients", "3"}));
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(
        result.output,
        "storm: clients 3, connected 0, refused 3, lost 0, logged in 0, not all seen (0 saw everyone)\n");
}

TEST(Bench, ANamePrefixMustBeANickStart)
{
    ServerProcess server;
    EXPECT_EQ(
        runProgram(benchCommand(server, {"--name", "a|b", "--clients", "1", "--messages", "1"})).exitStatus,
        2);
}

// No process has a number that large (Linux caps them at 2^22).
TEST(Bench, AServerPidWithoutAReadableProcessIsAUsageError)
{
    ServerProcess server;
    const ProgramResult result =
        runProgram(benchCommand(server, {"--storm", "--clients", "1", "--server-pid", "2147483647"}));
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_EQ(result.output, "");
}

// Each command fails if the program goes on past --version: the blacklist does not exist, nothing listens
// on port 1, and the bench without --server, --clients and --messages refuses its command line.
TEST(Version, ServerAndBenchPrintTheirNameAndVersionAndDoNothingElse)
{
    const std::string version(kovrel::kVersion);
    const ProgramResult server = runProgram({KOVREL_SERVER_PATH, "--blacklist", "/nonexistent/blacklist",
                                             "--listen", "127.0.0.1:0", "--version"});
    EXPECT_EQ(server.exitStatus, 0);
    EXPECT_EQ(server.output, "kovrel-server " + version + "\n");

    const ProgramResult bench = runProgram(
        {KOVREL_BENCH_PATH, "--version", "--server", "127.0.0.1:1", "--clients", "1", "--messages", "1"});
    EXPECT_EQ(bench.exitStatus, 0);
    EXPECT_EQ(bench.output, "kovrel-bench " + version + "\n");

    const ProgramResult alone = runProgram({KOVREL_BENCH_PATH, "--version"});
    EXPECT_EQ(alone.exitStatus, 0);
    EXPECT_EQ(alone.output, bench.output);
    EXPECT_NE(runProgram({KOVREL_BENCH_PATH, "--help"}).output.find("\n  --version "), std::string::npos);
}

} // namespace
} // namespace kovrel::server::test

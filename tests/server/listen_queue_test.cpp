// SPDX-License-Identifier: GPL-3.0-or-later
#include "listen_queue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace kovrel::server::test {
namespace {

std::string netstat(int overflows)
{
    return "TcpExt: SyncookiesSent ListenOverflows ListenDrops TCPHPHits\n"
           "TcpExt: 0 " +
           std::to_string(overflows) + " " + std::to_string(overflows) +
           " 12\n"
           "IpExt: InNoRoutes InTruncatedPkts\n"
           "IpExt: 0 0\n";
}

TEST(ListenQueue, ReadsTheKernelsCounterByName)
{
    EXPECT_EQ(tcpExtCounter(netstat(17), "ListenOverflows"), 17u);
    EXPECT_EQ(tcpExtCounter(netstat(17), "TCPHPHits"), 12u);
    EXPECT_EQ(tcpExtCounter(netstat(17), "InNoRoutes"), std::nullopt);
    EXPECT_EQ(tcpExtCounter("TcpExt: ListenOverflows\n", "ListenOverflows"), std::nullopt);
    EXPECT_EQ(tcpExtCounter("TcpExt: ListenOverflows\nTcpExt: x1\n", "ListenOverflows"), std::nullopt);
    // This machine's own counters are there too.
    std::ifstream in("/proc/net/netstat");
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_TRUE(tcpExtCounter(text, "ListenOverflows").has_value());
}

TEST(ListenQueue, LogsOnlyTheConnectionsDroppedSinceTheLastLook)
{
    const std::string path =
        (std::filesystem::temp_directory_path() / ("kovrel-netstat-" + std::to_string(::getpid()))).string();
    std::ofstream(path) << netstat(5);
    std::ostringstream out;
    EventLog log(out, false);
    asio::io_context io;
    ListenQueueWatch watch(io, log, 4096, path);
    watch.start();
    watch.check();
    EXPECT_EQ(out.str(), "");

    std::ofstream(path) << netstat(12);
    watch.check();
    watch.check();
    EXPECT_NE(out.str().find("listen-overflow"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("7 connections dropped"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("queue holds 4096"), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find('\n'), out.str().size() - 1) << "logged once";
    watch.stop();
    std::filesystem::remove(path);
}

TEST(ListenQueue, SaysSoOnceWhenTheCountsCannotBeRead)
{
    std::ostringstream out;
    EventLog log(out, false);
    asio::io_context io;
    ListenQueueWatch watch(io, log, 4096, "/nonexistent/netstat");
    watch.start();
    io.run_for(std::chrono::milliseconds(10));
    EXPECT_NE(
        out.str().find("listen-overflow - - not watched: no ListenOverflows count in /nonexistent/netstat"),
        std::string::npos)
        << out.str();
    EXPECT_EQ(io.stopped(), true) << "nothing left to wait for";
}

} // namespace
} // namespace kovrel::server::test

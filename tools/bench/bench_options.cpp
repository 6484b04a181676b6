// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench_options.h"

#include <limits>
#include <optional>

#include "cp1251.h"
#include "host_port.h"

namespace kovrel::bench {

BenchOptions parseBenchOptions(std::span<const std::string_view> arguments)
{
    BenchOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view name = arguments[i];
        const auto value = [&] {
            if (i + 1 >= arguments.size()) {
                throw UsageError(std::string(name) + " needs a value");
            }
            return arguments[++i];
        };
        if (name == "--server") {
            const std::optional<HostPort> server = splitHostPort(value());
            if (!server) {
                throw UsageError("--server expects HOST:PORT");
            }
            options.servers.push_back({std::string(server->host), std::string(server->port)});
        } else if (name == "--tls") {
            options.tls = true;
        } else if (name == "--clients") {
            options.clients = parseNumberOption(name, value(), 1, 10000);
        } else if (name == "--name") {
            // Typed in the terminal's UTF-8; nicks travel in cp1251.
            options.nickPrefix = cp1251::fromUtf8(value());
            if (options.nickPrefix.empty() || options.nickPrefix.find('|') != std::string::npos) {
                throw UsageError("--name expects a nick prefix without \"|\"");
            }
        } else if (name == "--messages") {
            options.messages = parseNumberOption(name, value(), 1, 1000000);
        } else if (name == "--storm") {
            options.storm = true;
        } else if (name == "--server-pid") {
            options.serverPids.push_back(
                parseNumberOption(name, value(), 1, std::numeric_limits<int>::max()));
        } else if (name == "--rate") {
            options.rate = parseNumberOption(name, value(), 1, 10000000);
        } else if (name == "--private") {
            options.privateMessages = true;
        } else if (name == "--window") {
            options.window = parseNumberOption(name, value(), 1, 100000);
        } else if (name == "--threads") {
            options.threads = parseNumberOption(name, value(), 1, 64);
        } else if (name == "--timeout") {
            options.timeout = std::chrono::seconds(parseNumberOption(name, value(), 1, 3600));
        } else if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--version") {
            options.version = true;
        } else {
            throw UsageError("unknown option \"" + std::string(name) + "\"");
        }
    }
    if (options.help || options.version) {
        return options;
    }
    if (options.storm && options.messages > 0) {
        throw UsageError(
            "--storm measures logging in: it sends no messages, so --messages does not go with it");
    }
    if (options.servers.empty() || options.clients == 0 || (options.messages == 0 && !options.storm)) {
        throw UsageError("--server, --clients and --messages (or --storm) are required");
    }
    return options;
}

std::string benchUsage()
{
    return R"(Usage: kovrel-bench --server HOST:PORT --clients N --messages M [OPTION]...
  or:  kovrel-bench --server HOST:PORT --clients N --storm [OPTION]...
Load generator for kovrel-server. Logs N clients in with the client's own log-in
sequence, lets each send M chat messages carrying a sequence number and a send
time, and checks that every client receives every message meant for it exactly
once, in order and intact. Then logs them out and prints one summary line.
With --storm it measures logging in instead: all N connect first, then all
start logging in at the same moment.

  --server HOST:PORT   the server to measure (an IPv6 address in brackets); given
                       more than once, the nodes of one cluster: the clients are
                       shared out among them in turn, and every message must
                       still reach every client, whatever node it is on
  --tls                every client connects with TLS (1.2 or later) and takes
                       whatever certificate the server shows: it checks no
                       certificate, being a load generator, not a client for
                       people; a failed handshake counts as a failed connection
  --clients N          simulated users (1 to 10000)
  --name PREFIX        log in as PREFIX0, PREFIX1, ... (default "bench-"); runs
                       with different prefixes can share a server, and chat
                       from other users does not count; read as UTF-8 and
                       sent in cp1251, as nicks travel
  --messages M         messages each user sends
  --rate R             messages a second across all clients, spread evenly;
                       without it each client sends as fast as the server echoes,
                       keeping at most --window messages in flight
  --private            private messages, each to another client in turn,
                       instead of public ones
  --window W           messages in flight per client when unthrottled (default 32)
  --storm              a log-in storm: connect all N clients, then log them all
                       in at once and time how long until every client sees
                       every other in its roster; no message is sent, so
                       --messages, --rate, --private and --window do not apply
  --server-pid PID     add the user and system CPU time this server process
                       used over the measured phase (the sending, or the storm)
                       to the summary; given more than once, the times of all
                       the processes (the nodes of a cluster) are summed
  --threads T          threads running the clients (default 1)
  --timeout SEC        give up after SEC seconds without progress (default 10)
  --version            print the version and exit

Summary: clients, messages sent, deliveries (one message arriving at one client,
echoes included), deliveries per second over the sending phase, latency from
send to arrival (p50, p99, max, ms), lost (expected deliveries that never came)
and corrupted (deliveries that were malformed, altered, duplicated or out of
order). The exit status is 1 when anything was lost or corrupted or a client
could not log in, 2 for a bad command line.

Storm summary: clients, connected, refused (could not connect, or with --tls
could not finish the handshake), lost (connected, then closed by the server or
failed otherwise), logged in (went through the
whole log-in sequence), and the seconds from the start of the log-ins until
every client saw every other, or how many did when not all of them did. The
exit status is 1 when a connection was refused or lost or a client did not see
everyone before --timeout.

With --server-pid both end in the server's CPU time (user, system and the
kernel's share of it; the sending mode also gives it per delivery), read from
/proc in clock ticks, usually of 10 ms. A PID that cannot be read there is a
bad command line.

kovrel-bench raises its own limit of open files as far as the hard limit
allows; when N connections still do not fit, it says so and exits with 1
before starting. The server needs room for them too (its --max-clients and
--max-per-address, and its own limit of open files).

The server's flood limit (--chat-rate: 20 messages a second per user, bursts of
40, by default) drops what a client sends beyond it, and the bench counts that
as lost: to measure peak throughput with few clients, start the server with
--chat-rate 0.
)";
}

} // namespace kovrel::bench

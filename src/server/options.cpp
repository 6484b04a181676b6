// SPDX-License-Identifier: GPL-3.0-or-later
#include "options.h"

#include <charconv>
#include <optional>
#include <utility>

#include "host_port.h"

namespace kovrel::server {
namespace {

// Splits "--name=value" and "--name value"; `next` points at the argument after the option.
class ArgumentList
{
public:
    explicit ArgumentList(std::span<const std::string_view> arguments) : m_arguments(arguments) {}

    bool next()
    {
        if (m_index >= m_arguments.size()) {
            return false;
        }
        const std::string_view argument = m_arguments[m_index++];
        const std::size_t equals = argument.find('=');
        m_name = argument.substr(0, equals);
        m_inlineValue =
            equals == std::string_view::npos ? std::nullopt : std::optional(argument.substr(equals + 1));
        return true;
    }

    std::string_view name() const { return m_name; }

    std::string_view value()
    {
        if (m_inlineValue) {
            return *std::exchange(m_inlineValue, std::nullopt);
        }
        if (m_index >= m_arguments.size()) {
            throw UsageError(std::string(m_name) + " needs a value");
        }
        return m_arguments[m_index++];
    }

    void expectNoValue() const
    {
        if (m_inlineValue) {
            throw UsageError(std::string(m_name) + " takes no value");
        }
    }

private:
    std::span<const std::string_view> m_arguments;
    std::size_t m_index = 0;
    std::string_view m_name;
    std::optional<std::string_view> m_inlineValue;
};

void checkClusterOptions(ServerOptions& options, std::optional<std::chrono::seconds> presenceTtl)
{
    if (!options.cluster) {
        if (presenceTtl) {
            throw UsageError("--presence-ttl needs --cluster");
        }
        return;
    }
    if (options.stateFile) {
        // The cluster keeps the topic in Redis; a state file of one node would disagree with it.
        throw UsageError("--state and --cluster cannot go together");
    }
    if (presenceTtl) {
        options.cluster->presenceTtl = *presenceTtl;
    }
}

std::string_view optionOf(AccountCommand::Kind kind)
{
    switch (kind) {
    case AccountCommand::Kind::Add:
        return "--add-account";
    case AccountCommand::Kind::Remove:
        return "--remove-account";
    case AccountCommand::Kind::List:
        break;
    }
    return "--list-accounts";
}

void setAccountCommand(ServerOptions& options, AccountCommand command)
{
    if (options.accountCommand) {
        throw UsageError("--add-account, --remove-account and --list-accounts go one at a time");
    }
    options.accountCommand = std::move(command);
}

void checkAccountOptions(const ServerOptions& options)
{
    if (options.accountCommand && !options.stateFile && !options.cluster) {
        throw UsageError(std::string(optionOf(options.accountCommand->kind)) +
                         " needs --state or --cluster: where the accounts are kept");
    }
}

void checkTlsOptions(const ServerOptions& options)
{
    if (options.tlsCertificate.has_value() != options.tlsKey.has_value()) {
        throw UsageError("--tls-cert and --tls-key go together");
    }
    if (options.tlsCertificate && options.tlsDir) {
        throw UsageError("--tls-dir is for the server's own certificate, not with --tls-cert");
    }
    if (!options.server.listen.plain && options.server.listen.tls.empty()) {
        throw UsageError("--listen none needs at least one --tls-listen");
    }
}

} // namespace

asio::ip::tcp::endpoint parseEndpoint(std::string_view text)
{
    const std::optional<HostPort> parts = splitHostPort(text);
    if (!parts) {
        throw UsageError("expected ADDR:PORT, not \"" + std::string(text) + "\"");
    }
    std::error_code ec;
    const asio::ip::address address = asio::ip::make_address(std::string(parts->host), ec);
    if (ec) {
        throw UsageError("\"" + std::string(parts->host) + "\" is not an IP address");
    }
    const auto port = parseNumberOption<unsigned short>("the port", parts->port, 0, 65535);
    return {address, port};
}

ServerOptions parseOptions(std::span<const std::string_view> arguments)
{
    ServerOptions options;
    options.server.listen.plain = {asio::ip::address_v4::loopback(), kDefaultPort};
    std::optional<std::chrono::seconds> presenceTtl;
    ArgumentList list(arguments);
    while (list.next()) {
        const std::string_view name = list.name();
        if (name == "--listen") {
            const std::string_view value = list.value();
            options.server.listen.plain =
                value == "none" ? std::nullopt : std::optional(parseEndpoint(value));
        } else if (name == "--tls-listen") {
            options.server.listen.tls.push_back(parseEndpoint(list.value()));
        } else if (name == "--tls-cert") {
            options.tlsCertificate = std::string(list.value());
        } else if (name == "--tls-key") {
            options.tlsKey = std::string(list.value());
        } else if (name == "--tls-dir") {
            options.tlsDir = std::string(list.value());
        } else if (name == "--fingerprint") {
            list.expectNoValue();
            options.fingerprint = true;
        } else if (name == "--blacklist") {
            options.blacklistFile = std::string(list.value());
        } else if (name == "--state") {
            options.stateFile = std::string(list.value());
        } else if (name == "--cluster") {
            options.cluster.emplace().redis = parseRedisAddress(list.value());
        } else if (name == "--presence-ttl") {
            presenceTtl = std::chrono::seconds(parseNumberOption<unsigned>(name, list.value(), 1, 3600));
        } else if (name == "--max-cards-per-address") {
            options.cards.perAddress =
                parseNumberOption<std::size_t>(name, list.value(), 1, CardBook::kMaxCards);
        } else if (name == "--card-days") {
            options.cards.lifetime =
                std::chrono::days(parseNumberOption<unsigned>(name, list.value(), 1, 36500));
        } else if (name == "--max-clients") {
            options.server.maxClients = parseNumberOption<std::size_t>(name, list.value(), 1, 100000);
        } else if (name == "--backlog") {
            options.server.backlog = parseNumberOption<int>(name, list.value(), 1, 1 << 20);
        } else if (name == "--max-per-address") {
            options.server.maxPerAddress = parseNumberOption<std::size_t>(name, list.value(), 1, 100000);
        } else if (name == "--login-timeout") {
            options.server.session.loginTimeout =
                std::chrono::seconds(parseNumberOption<unsigned>(name, list.value(), 1, 3600));
        } else if (name == "--probe-interval") {
            options.server.session.probeInterval =
                std::chrono::seconds(parseNumberOption<unsigned>(name, list.value(), 1, 3600));
        } else if (name == "--chat-rate") {
            const auto rate = parseNumberOption<unsigned>(name, list.value(), 0, 100000);
            options.server.session.chatRate = rate;
            options.server.session.chatBurst = 2.0 * rate;
        } else if (name == "--chat-bytes") {
            const auto rate = parseNumberOption<unsigned>(name, list.value(), 0, 100000000);
            options.server.session.chatBytes = rate;
            options.server.session.chatBurstBytes = 2.0 * rate;
        } else if (name == "--add-account") {
            setAccountCommand(options, {AccountCommand::Kind::Add, std::string(list.value())});
        } else if (name == "--remove-account") {
            setAccountCommand(options, {AccountCommand::Kind::Remove, std::string(list.value())});
        } else if (name == "--list-accounts") {
            list.expectNoValue();
            setAccountCommand(options, {AccountCommand::Kind::List, {}});
        } else if (name == "--threads") {
            options.threads = parseNumberOption<unsigned>(name, list.value(), 1, 256);
        } else if (name == "--verbose") {
            list.expectNoValue();
            options.verbose = true;
        } else if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--version") {
            list.expectNoValue();
            options.version = true;
        } else {
            throw UsageError("unknown option \"" + std::string(name) + "\"");
        }
    }
    checkClusterOptions(options, presenceTtl);
    checkAccountOptions(options);
    checkTlsOptions(options);
    return options;
}

std::string usage()
{
    return R"(Usage: kovrel-server [OPTION]...
The Kovrel chat server: one conversation for everybody who logs in.

  --listen ADDR:PORT     address and port to listen on (default 127.0.0.1:4040);
                         0.0.0.0:PORT serves the whole LAN, [::]:PORT IPv6 and IPv4;
                         port 0 picks a free port; "none": no plain listener
                         (then at least one --tls-listen)
  --tls-listen ADDR:PORT also listen on ADDR:PORT for connections in TLS (1.2
                         or later), the same conversation inside; may be given
                         more than once
  --tls-cert FILE        the TLS listeners' certificate (PEM, with any chain);
                         goes with --tls-key
  --tls-key FILE         the private key of --tls-cert (PEM)
  --tls-dir DIR          without --tls-cert: where the server keeps a certificate
                         of its own, made on first start (self-signed, ECDSA
                         P-256, 10 years) as kovrel-server.crt and .key. Default:
                         the folder of --state, else $STATE_DIRECTORY, else
                         $XDG_STATE_HOME/kovrel-server or
                         ~/.local/state/kovrel-server
  --fingerprint          print the SHA-256 fingerprint of the TLS certificate
                         (making the server's own if there is none yet), exit
  --blacklist FILE       refuse connections from the addresses in FILE: one dotted
                         IPv4 address per line, "#" starts a comment
  --state FILE           keep the topic and the users' personal cards in FILE, an
                         SQLite database, across restarts; each change is written as
                         it happens. A state file of an earlier version is imported
                         once and kept as FILE.imported
  --cluster redis://[[USER]:PASSWORD@]HOST:PORT[/DB]
                         be one node of a cluster: share the room, the nicks and
                         the topic with every node that uses the same Redis
                         database; log-ins are refused while Redis is unreachable.
                         The password may instead be in the environment variable
                         KOVREL_REDIS_PASSWORD
  --presence-ttl SEC     with --cluster: a node that stops refreshing its users'
                         nicks loses them after SEC seconds, and the other nodes
                         drop those users (default 15)
  --threads N            serve on N threads, each taking its share of the
                         connections on the same port; one room for all of them
                         (with --cluster the server is still one node of it)
                         (default 1)
  --max-cards-per-address N
                         keep at most N cards published from one address; a new one
                         replaces the oldest (default 50)
  --card-days N          forget a card whose owner has not logged in for N days
                         (default 365)
  --max-clients N        accept at most N connections at a time (default 500)
  --max-per-address N    accept at most N connections at a time from one address,
                         logged in or not (default 16)
  --backlog N            let the kernel queue up to N connections that the server
                         has not accepted yet (default: the most it allows,
                         net.core.somaxconn, which also caps N). Connections
                         dropped at a full queue are logged as "listen-overflow"
  --login-timeout SEC    close a connection that has not logged in within SEC
                         seconds of connecting or logging out (default 30)
  --probe-interval SEC   probe a connection idle for SEC seconds, close it after
                         three silent periods (default 60)
  --chat-rate N          chat messages a second per user, bursts of 2N; the excess
                         is dropped; 0 switches the limit off (default 20)
  --chat-bytes N         bytes of such messages a second per user, bursts of 2N;
                         the excess is dropped; 0 switches the limit off
                         (default 65536)
  --add-account NICK     with --state or --cluster: reserve NICK, and every nick
                         that reads like it, for those who give its password
                         (over TLS); the password is read twice from the
                         terminal, or as one line from standard input; then exit
  --remove-account NICK  with --state or --cluster: free NICK again, then exit
  --list-accounts        with --state or --cluster: print the nick of every
                         account, one a line, then exit
  --verbose              also log every received message and every dropped one
  --help                 show this text
  --version              print the version and exit

Standard output has a line "listening on ADDR:PORT" with the real port for every
listener, the plain one first, each TLS one ending in (TLS). The log names the
TLS certificate's SHA-256 fingerprint, for clients to check it by.
Log lines go to standard error, never with a password. Accounts changed while
the server runs are honoured at once (by a cluster's nodes, once Redis tells
them). SIGINT or SIGTERM asks every client to log out, waits up to 2 seconds
for them and exits; a failed state write is tried again for up to 2 seconds
more, and the exit status is 1 if the state could not be saved. The account
commands exit 0 when done, 1 when refused or failed.
)";
}

} // namespace kovrel::server

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "usage_error.h"

#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include <asio/ip/tcp.hpp>

#include "card_book.h"
#include "cluster_settings.h"
#include "server_settings.h"

namespace kovrel::server {

inline constexpr unsigned short kDefaultPort = 4040;

// An administrator's command on the accounts, run instead of the server.
struct AccountCommand
{
    enum class Kind
    {
        Add,
        Remove,
        List
    };

    Kind kind = Kind::List;
    std::string nick; // of Add and Remove, as given (UTF-8)

    friend bool operator==(const AccountCommand&, const AccountCommand&) = default;
};

struct ServerOptions
{
    ServerSettings server;
    std::optional<std::filesystem::path> blacklistFile;
    std::optional<std::filesystem::path> stateFile;
    // The certificate and key of the TLS listeners; without them the server makes its own, in tlsDir when
    // given.
    std::optional<std::filesystem::path> tlsCertificate;
    std::optional<std::filesystem::path> tlsKey;
    std::optional<std::filesystem::path> tlsDir;
    // Set: a node of a cluster, its room shared through Redis.
    std::optional<ClusterSettings> cluster;
    CardBook::Limits cards;
    // Threads of the server, each serving its share of the connections.
    unsigned threads = 1;
    // Set: change or list the accounts of --state or --cluster and exit.
    std::optional<AccountCommand> accountCommand;
    bool verbose = false;
    // Print the fingerprint of the TLS certificate and exit.
    bool fingerprint = false;
    bool help = false;
    bool version = false;
};

// Takes the arguments after the program name; "--option VALUE" and "--option=VALUE" are both accepted.
ServerOptions parseOptions(std::span<const std::string_view> arguments);

// "ADDR:PORT", the address dotted IPv4 or bracketed IPv6 ("[::]:4040").
asio::ip::tcp::endpoint parseEndpoint(std::string_view text);

std::string usage();

} // namespace kovrel::server

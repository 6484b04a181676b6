// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include <asio/ssl/context.hpp>

namespace kovrel::server {

// The certificate (PEM, the server's own first, then any chain) and private key (PEM) of the TLS listeners.
struct CertificateFiles
{
    std::filesystem::path certificate;
    std::filesystem::path key;
};

// Where the server keeps a certificate of its own: beside the state file when there is one, else in
// systemd's StateDirectory ($STATE_DIRECTORY), else in $XDG_STATE_HOME/kovrel-server or
// ~/.local/state/kovrel-server.
std::filesystem::path ownCertificateFolder(const std::optional<std::filesystem::path>& stateFile);

// The pair kovrel-server.crt and kovrel-server.key in `folder`, made on first use: a self-signed ECDSA
// P-256 certificate for this host's name, "localhost" and 127.0.0.1, valid for ten years, both files
// readable by the owner only. Throws std::runtime_error when it cannot read or make them.
CertificateFiles ownCertificate(const std::filesystem::path& folder);

// The certificate's SHA-256 fingerprint as "openssl x509 -fingerprint -sha256" prints it: "AB:CD:...".
std::string sha256Fingerprint(const std::filesystem::path& certificate);

// The context of the TLS listeners: TLS 1.2 or later (1.3 when the client has it), presenting `files`.
asio::ssl::context tlsServerContext(const CertificateFiles& files);

} // namespace kovrel::server

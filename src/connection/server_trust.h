// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

#include <optional>

class QSslCertificate;

namespace kovrel {

// The SHA-256 digest of a certificate in the colon form "AB:CD:…", as `kovrel-server --fingerprint`
// prints it, so that a user can compare the two by eye.
QString CertificateFingerprint(const QSslCertificate& certificate);

// A fingerprint as a person types or pastes it (any case, colons or blanks between the bytes or none) in
// the colon form; nothing when it is not the 32 bytes of a SHA-256 digest.
std::optional<QString> NormalizedFingerprint(QStringView text);

// Why an encrypted connection was not made, or ended.
struct TlsFailure
{
    enum class Kind
    {
        // The handshake failed.
        Handshake,
        // The encrypted stream broke after the handshake.
        Broken,
        // No known authority vouches for the certificate and the user has not trusted it yet.
        UntrustedCertificate,
        // The server presents another certificate than the one the user trusted.
        KeyChanged,
    };

    Kind kind = Kind::Handshake;
    // "host:port" as the user gave them: the name its trusted fingerprint is kept under.
    QString server;
    // The TLS library's own words on what failed.
    QString reason;
    // The fingerprint of the certificate the server presented.
    QString presented;
    // The fingerprint trusted before, when the key changed.
    QString trusted;

    // The certificate is the question: the user may trust it, and the log-in may then be tried again.
    bool asksForTrust() const { return kind == Kind::UntrustedCertificate || kind == Kind::KeyChanged; }
};

// The line for the common conversation that says what failed.
QString TlsFailureLine(const TlsFailure& failure);

} // namespace kovrel

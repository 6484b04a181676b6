// SPDX-License-Identifier: GPL-3.0-or-later
#include "server_trust.h"

#include <QCryptographicHash>
#include <QSslCertificate>

namespace kovrel {

namespace {

constexpr qsizetype kSha256Bytes = 32;

bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

QString colonForm(const QByteArray& digest)
{
    return QString::fromLatin1(digest.toHex(':').toUpper());
}

} // namespace

QString CertificateFingerprint(const QSslCertificate& certificate)
{
    return colonForm(certificate.digest(QCryptographicHash::Sha256));
}

std::optional<QString> NormalizedFingerprint(QStringView text)
{
    QByteArray hex;
    for (const QChar c : text) {
        if (c == u':' || c.isSpace()) {
            continue;
        }
        if (!isHexDigit(c)) {
            return std::nullopt;
        }
        hex.append(static_cast<char>(c.unicode()));
    }
    if (hex.size() != 2 * kSha256Bytes) {
        return std::nullopt;
    }
    return colonForm(QByteArray::fromHex(hex));
}

QString TlsFailureLine(const TlsFailure& failure)
{
    switch (failure.kind) {
    case TlsFailure::Kind::Handshake:
        return QStringLiteral("Ошибка TLS: рукопожатие с %1 не удалось (%2)")
            .arg(failure.server, failure.reason);
    case TlsFailure::Kind::Broken:
        return QStringLiteral("Ошибка TLS: защищённое соединение с %1 прервано (%2)")
            .arg(failure.server, failure.reason);
    case TlsFailure::Kind::UntrustedCertificate:
        return QStringLiteral("Ошибка TLS: сертификат сервера %1 не заверен известным центром сертификации "
                              "(отпечаток SHA-256 %2). Соединение не установлено.")
            .arg(failure.server, failure.presented);
    case TlsFailure::Kind::KeyChanged:
        return QStringLiteral("Ошибка TLS: ключ сервера %1 изменился! Возможно, это атака: соединение не "
                              "установлено. Прежний отпечаток SHA-256 %2, новый %3.")
            .arg(failure.server, failure.trusted, failure.presented);
    }
    Q_UNREACHABLE();
}

} // namespace kovrel

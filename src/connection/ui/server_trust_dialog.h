// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QFormLayout;
class QPushButton;

namespace kovrel {

// Asks the user whether to trust a server's certificate that no known authority vouches for: on first use
// ("Сертификат сервера", the fingerprint to compare with the one the administrator gave), or, much louder,
// when the server presents another certificate than the trusted one ("Ключ сервера изменился", both
// fingerprints). Refusing is the default button and what Esc does; accepted, the dialog closes accepted.
class TServerTrustDialog : public QDialog
{
    Q_OBJECT

public:
    // `trusted` empty: the server is new; otherwise the fingerprint trusted so far.
    TServerTrustDialog(const QString& server, const QString& presented, const QString& trusted,
                       QWidget* parent = nullptr);

private:
    void addFingerprint(QFormLayout* form, const QString& caption, const QString& fingerprint);

    QPushButton* TrustButton;
    QPushButton* RefuseButton;
};

} // namespace kovrel

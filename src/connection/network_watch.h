// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QNetworkInformation>
#include <QObject>

namespace kovrel {

// Whether a change of the network's reachability means the network came back: from none (or only the
// local machine) to a site or the internet.
bool NetworkCameBack(QNetworkInformation::Reachability before, QNetworkInformation::Reachability now);

// Tells when the network comes back, after a cable was plugged in, a Wi-Fi joined or the machine woke from
// a suspend. Where the desktop offers no network information (no NetworkManager), it never tells.
class NetworkWatch : public QObject
{
    Q_OBJECT

public:
    explicit NetworkWatch(QObject* parent = nullptr);

signals:
    void networkReturned();

private:
    void reachabilityChanged(QNetworkInformation::Reachability now);

    QNetworkInformation::Reachability m_reachability = QNetworkInformation::Reachability::Unknown;
};

} // namespace kovrel

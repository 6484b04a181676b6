// SPDX-License-Identifier: GPL-3.0-or-later
#include "network_watch.h"

namespace kovrel {

namespace {

using Reachability = QNetworkInformation::Reachability;

bool reachesBeyondThisMachine(Reachability reachability)
{
    return reachability == Reachability::Site || reachability == Reachability::Online;
}

} // namespace

bool NetworkCameBack(Reachability before, Reachability now)
{
    const bool wasCut = before == Reachability::Disconnected || before == Reachability::Local;
    return wasCut && reachesBeyondThisMachine(now);
}

NetworkWatch::NetworkWatch(QObject* parent) : QObject(parent)
{
    if (!QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {
        return;
    }
    const QNetworkInformation* information = QNetworkInformation::instance();
    m_reachability = information->reachability();
    connect(information, &QNetworkInformation::reachabilityChanged, this, &NetworkWatch::reachabilityChanged);
}

void NetworkWatch::reachabilityChanged(Reachability now)
{
    if (NetworkCameBack(std::exchange(m_reachability, now), now)) {
        emit networkReturned();
    }
}

} // namespace kovrel

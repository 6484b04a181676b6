// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>

#include "redis_address.h"

namespace kovrel::server {

// A node of a cluster: where the Redis that links the nodes is.
struct ClusterSettings
{
    RedisAddress redis;
    // How long a node's nicks outlive it: the holding node refreshes them three times as often.
    std::chrono::milliseconds presenceTtl{15000};
};

} // namespace kovrel::server

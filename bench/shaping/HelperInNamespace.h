// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleParameters.h"
#include "ThrottleSchedule.h"

#include <QDBusConnection>

#include <memory>
#include <string>

class HelperOnPrivateBus;
class NetnsPair;

// The sandboxed helper daemon on a private bus, started inside the shaped
// side of a pair with the real tc and ip, so that what plays a schedule is
// the helper's own player, timers, engine thread and netlink messages.
class HelperInNamespace final {
public:
    explicit HelperInNamespace(const NetnsPair& pair);
    ~HelperInNamespace();
    HelperInNamespace(const HelperInNamespace&) = delete;
    HelperInNamespace& operator=(const HelperInNamespace&) = delete;

    // Switches on the whole machine's throttle of `base` with `schedule` and
    // returns when the helper says the schedule started, in milliseconds
    // since 1970 UTC. Throws with the helper's answer when it refuses.
    double enable(const ThrottleParameters& base, const ThrottleSchedule& schedule);
    void disable();

    // Seconds of processor time the daemon and the tools it ran and reaped
    // have taken so far.
    double cpuSeconds();
    // What the daemon wrote, to show when a row misses.
    std::string output() const;

private:
    std::unique_ptr<HelperOnPrivateBus> m_helper;
    QDBusConnection m_client;
};

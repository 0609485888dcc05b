// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleProfile.h"

#include <QtGlobal>

// A profile in the helper daemon's units: bytes per second (0 = unlimited),
// milliseconds and percent. Absent conditions travel as 0.
struct HelperParameters {
    qint64 downloadBytesPerSecond = 0;
    qint64 uploadBytesPerSecond = 0;
    qint64 latencyMs = 0;
    double packetLossPercent = 0.0;
    qint64 dnsDelayMs = 0;

    // Throws ThrottleError::invalidProfile for a bandwidth whose bytes per
    // second do not fit the wire's signed 64 bits.
    static HelperParameters from(const ThrottleProfile& profile);

    // Whether the profile asks for anything at all. A present latency of 0
    // counts; a packet loss of 0 does not.
    static bool configuresSomething(const ThrottleProfile& profile);

    bool operator==(const HelperParameters&) const = default;
};

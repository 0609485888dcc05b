// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleProfile.h"

#include <QVariantMap>
#include <QtGlobal>

// A profile in the helper daemon's units: bytes per second (0 = unlimited),
// milliseconds and percent. Absent conditions travel as 0.
struct HelperParameters {
    qint64 downloadBytesPerSecond = 0;
    qint64 uploadBytesPerSecond = 0;
    qint64 latencyMs = 0;
    double packetLossPercent = 0.0;
    qint64 dnsDelayMs = 0;
    // Only the dictionary of named parameters carries these.
    qint64 jitterMs = 0;
    double lossCorrelationPercent = 0.0;
    double reorderPercent = 0.0;
    double duplicatePercent = 0.0;

    // Throws ThrottleError::invalidProfile for a bandwidth whose bytes per
    // second do not fit the wire's signed 64 bits.
    static HelperParameters from(const ThrottleProfile& profile);

    // Whether the profile asks for anything at all. A present latency of 0
    // counts; a packet loss of 0 does not.
    static bool configuresSomething(const ThrottleProfile& profile);

    // Whether anything beyond the five of EnableThrottling is set: only then
    // is the dictionary sent, so that an older helper still serves the rest.
    bool needsNamedParameters() const;

    // Keyed as the helper's state and its dictionary of named parameters
    // are: the five always, the others only when set. Reading, an absent key
    // or one of another type is 0.
    QVariantMap toWire() const;
    static HelperParameters fromWire(const QVariantMap& wire);

    bool operator==(const HelperParameters&) const = default;
};

// SPDX-License-Identifier: MIT
#pragma once

#include "Bandwidth.h"

#include <cstdint>
#include <optional>

// The conditions of a profile, each of which may be left out; a present zero
// is a configured value, not an absent one. Copied whole wherever a profile's
// conditions go, so a field added here cannot be dropped by a copy that
// lists the fields it knows.
struct NetworkConditions {
    std::optional<Bandwidth> downloadBandwidth;
    std::optional<Bandwidth> uploadBandwidth;
    // Milliseconds, shared out over the two directions.
    std::optional<std::int64_t> latency;
    // Percent of arriving packets dropped.
    std::optional<double> packetLossPercent;
    // Milliseconds; carried and checked, shapes no traffic.
    std::optional<std::int64_t> dnsDelay;
    // Milliseconds either way around the latency, at most the latency.
    std::optional<std::int64_t> jitter;
    // Percent, at most 99: losses come in runs. The packet after a lost one
    // is lost with the loss's chance plus this share of the rest (0 leaves
    // losses independent).
    std::optional<double> packetLossCorrelationPercent;
    // Percent of arriving packets sent ahead of the others.
    std::optional<double> reorderPercent;
    // Percent of arriving packets delivered twice.
    std::optional<double> duplicatePercent;

    // Whether any condition only the dictionary of named parameters carries
    // to the helper is set.
    bool hasRicherConditions() const {
        return jitter.value_or(0) > 0 || packetLossCorrelationPercent.value_or(0.0) > 0.0 ||
               reorderPercent.value_or(0.0) > 0.0 || duplicatePercent.value_or(0.0) > 0.0;
    }

    bool operator==(const NetworkConditions&) const = default;
};

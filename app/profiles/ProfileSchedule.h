// SPDX-License-Identifier: MIT
#pragma once

#include "NetworkConditions.h"
#include "ThrottleSchedule.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// One phase of a profile's schedule, as the user made it: conditions in
// their own units, or an outage.
struct ProfilePhase {
    // "LTE", "Outage": the panel's and the state's name of the phase.
    QString name;
    std::int64_t durationMs = 0;
    // Nothing: an outage, in which nothing passes.
    std::optional<NetworkConditions> conditions;

    bool isOutage() const { return !conditions.has_value(); }
    bool operator==(const ProfilePhase&) const = default;
};

// How a profile's conditions change over time: phases played once or
// repeated, or a recorded link's capacity (the profile's own conditions
// then hold throughout, its rates where the trace leaves a direction out).
// Empty for a profile whose conditions hold until switched off, which is
// stored exactly as before schedules existed.
struct ProfileSchedule {
    std::vector<ProfilePhase> phases;
    bool repeat = true;
    // Bytes per second per step, as imported from a trace file.
    CapacityTrace trace;

    bool empty() const { return phases.empty() && trace.empty(); }
    bool operator==(const ProfileSchedule&) const = default;
};

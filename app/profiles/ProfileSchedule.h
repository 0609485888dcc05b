// SPDX-License-Identifier: MIT
#pragma once

#include "NetworkConditions.h"
#include "ThrottleSchedule.h"

#include <QJsonObject>
#include <QString>

#include <cstddef>
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
    // The keys of a stored phase this build does not know (a newer build's
    // condition), written back with it as the profile's own are.
    QJsonObject otherKeys;

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
    // Bytes per second per step, as imported from a trace file. Stored as
    // whole packets per step, so a rate keeps to the nearest packet.
    CapacityTrace trace;
    // The keys of a stored trace this build does not know.
    QJsonObject otherTraceKeys;

    bool empty() const { return phases.empty() && trace.empty(); }
    bool operator==(const ProfileSchedule&) const = default;

    // "3 phases, repeating", "4 phases, once", "Trace 12 min"; empty for no
    // schedule.
    QString description() const;

    // "800 ms", "45 s", "12 min", "2 h 5 min": a trace's length as a listing
    // shows it, to the unit that matters at its size.
    static QString lengthText(std::int64_t ms);

    // "Phase 2 (3G)", or "Phase 2" for a phase without a name: how every
    // message about a phase names it.
    static QString phaseLabel(std::size_t index, const QString& name);

    // In the helper's units. Nothing, and why in `failure` naming the phase,
    // for a phase whose conditions do not fit the wire.
    std::optional<ThrottleSchedule> toSchedule(QString& failure) const;
};

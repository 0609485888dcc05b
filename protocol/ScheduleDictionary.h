// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleSchedule.h"

#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <optional>

// A schedule as the "schedule" dictionary of EnableThrottlingWithParameters
// (HelperProtocol::kScheduleKey), and where a throttle's schedule stands as
// the "schedule" dictionary of each throttle in the state.
namespace ScheduleDictionary {

// The helper's reading of a request: an unknown key, a value of another bus
// type or a phase's parameters that do not read give nothing and say why,
// naming the phase, in `failure`. The bounds are ThrottleSchedule::check's.
std::optional<ThrottleSchedule> fromWire(const QVariantMap& dictionary, QString& failure);
QVariantMap toWire(const ThrottleSchedule& schedule);

// Where a throttle's schedule stands, as the state publishes it: on each
// change of phase, never on a trace's steps.
struct Standing {
    // Milliseconds since 1970 UTC: when the schedule started.
    std::int64_t startedAt = 0;
    // The phase in force, of how many (a trace is one phase).
    std::int64_t phase = 0;
    std::int64_t phaseCount = 0;
    QString phaseName;
    // Milliseconds since 1970 UTC: when the next phase begins; nothing when
    // the last phase of a schedule played once holds.
    std::optional<std::int64_t> nextPhaseAt;
    bool repeat = true;
    bool isTrace = false;

    bool operator==(const Standing&) const = default;
};
// A client's reading of the state: what does not read is left out, so a
// newer helper's state still reads.
Standing readStanding(const QVariantMap& dictionary);
QVariantMap standingToWire(const Standing& standing);

} // namespace ScheduleDictionary

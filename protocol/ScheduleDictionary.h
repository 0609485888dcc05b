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

// The schedule's keys.
// aa{sv}: the phases in order, each keyed as below.
inline constexpr const char* kPhases = "phases";
// b: the phases start again after the last; absent is true.
inline constexpr const char* kRepeat = "repeat";
// a{sv}: a recorded link's capacity, keyed as below.
inline constexpr const char* kTrace = "trace";
// A phase's keys: s, x, b (absent is false), and a{sv} keyed as
// ParameterDictionary, unused by an outage.
inline constexpr const char* kName = "name";
inline constexpr const char* kDurationMs = "durationMs";
inline constexpr const char* kOutage = "outage";
inline constexpr const char* kConfiguration = "configuration";
// A trace's keys: x (absent is CapacityTrace::kDefaultStepMs), and ax of
// bytes per second per step, each absent for a direction the trace leaves
// out.
inline constexpr const char* kStepMs = "stepMs";
inline constexpr const char* kDownload = "download";
inline constexpr const char* kUpload = "upload";

// A standing's keys, typed as Standing's members: x, x, x, s, x (absent when
// nothing follows), b, b.
inline constexpr const char* kStartedAt = "startedAt";
inline constexpr const char* kPhase = "phase";
inline constexpr const char* kPhaseCount = "phaseCount";
inline constexpr const char* kPhaseName = "phaseName";
inline constexpr const char* kNextPhaseAt = "nextPhaseAt";
inline constexpr const char* kIsTrace = "isTrace";

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

// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleParameters.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Conditions that change over time: a list of phases, each holding for its
// duration, or a recorded link's capacity replayed as rate steps. A throttle
// without a schedule holds its parameters until it ends. The helper steps a
// schedule itself, against an absolute clock, so that it plays on with no
// client connected and its steps' errors do not add up.
struct SchedulePhase {
    static constexpr std::int64_t kMinDurationMs = 100;
    static constexpr std::int64_t kMaxDurationMs = 24LL * 60 * 60 * 1000;

    static constexpr std::size_t kMaxNameLength = 100;

    // How the state and the panel name it: "LTE", "Outage". One line of at
    // most kMaxNameLength characters.
    std::string name;
    std::int64_t durationMs = 0;
    // Nothing passes in either direction; `parameters` is not used.
    bool outage = false;
    ThrottleParameters parameters;

    bool operator==(const SchedulePhase&) const = default;
};

// A recorded link's capacity, per direction, as the bytes per second of each
// step in turn. Each direction loops at its own end; an empty direction keeps
// the throttle's own rate. A step of 0 passes nothing that way (a recorded
// link's gap), never "no limit". Every other condition is the throttle's
// throughout.
struct CapacityTrace {
    static constexpr std::int64_t kDefaultStepMs = 100;
    static constexpr std::int64_t kMinStepMs = 100;
    static constexpr std::int64_t kMaxStepMs = 1000;
    // The longest trace, per direction.
    static constexpr std::int64_t kMaxLengthMs = 24LL * 60 * 60 * 1000;

    std::int64_t stepMs = kDefaultStepMs;
    std::vector<std::int64_t> downloadBytesPerSecond;
    std::vector<std::int64_t> uploadBytesPerSecond;

    bool empty() const { return downloadBytesPerSecond.empty() && uploadBytesPerSecond.empty(); }
    bool operator==(const CapacityTrace&) const = default;
};

struct ThrottleSchedule {
    static constexpr std::size_t kMaxPhases = 64;

    // Either phases or a trace, never both; neither is no schedule.
    std::vector<SchedulePhase> phases;
    // Phases start again after the last; played once, the last one holds.
    // A trace always loops.
    bool repeat = true;
    CapacityTrace trace;

    bool empty() const { return phases.empty() && trace.empty(); }

    // Why the helper cannot play this schedule, naming the phase or the
    // direction at fault; nothing when it can. Each phase's parameters go
    // through ThrottleParameters::check.
    std::optional<std::string> check() const;

    // Where a schedule started `elapsedMs` ago stands, for a throttle whose
    // own parameters are `base`: what is in force, which phase it is (0 for
    // a trace) and when, in milliseconds from the start, the next change is
    // due (nothing when nothing changes any more: a phase played once has
    // reached its last).
    struct Position {
        std::size_t phase = 0;
        ThrottleParameters parameters;
        // Nothing passes that way: an outage blocks both, a trace's step of
        // 0 its direction. The rates stay those of `parameters`, so that the
        // shaping keeps its form and changes in place.
        bool blocksDownload = false;
        bool blocksUpload = false;
        std::optional<std::int64_t> nextChangeMs;
        // When the phase began and the next begins, from the start; the
        // state publishes these, not the trace's steps.
        std::int64_t phaseStartMs = 0;
        std::optional<std::int64_t> nextPhaseMs;

        bool operator==(const Position&) const = default;
    };
    Position at(std::int64_t elapsedMs, const ThrottleParameters& base) const;

    bool operator==(const ThrottleSchedule&) const = default;
};

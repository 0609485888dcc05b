// SPDX-License-Identifier: MIT
#pragma once

#include "ProfileSchedule.h"

#include <QStringList>

// Checks a profile's schedule before it is saved, to the helper's bounds:
// at most ThrottleSchedule::kMaxPhases phases or a trace, not both; each
// phase named as a profile is (at most 100 characters, none hidden), lasting
// 100 ms to 24 hours, its conditions passing the form's own checks; a trace
// of 100 to 1000 ms steps, at most 24 hours a direction, each rate within
// the helper's bandwidth limit. Every message about a phase names it:
// "Phase 2 (3G): Latency cannot exceed 10000 ms".
class ScheduleValidator final {
public:
    ScheduleValidator() = delete;

    // Every fault, in phase order; none for a schedule the helper plays.
    static QStringList validate(const ProfileSchedule& schedule);
};

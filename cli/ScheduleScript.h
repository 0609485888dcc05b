// SPDX-License-Identifier: MIT
#pragma once

#include "ShapingLayout.h"
#include "ThrottleSchedule.h"

#include <string>

// How the exported tc script plays a schedule: the shaping it sets up
// first, then changes of the netem leaves in place, each due at its time
// from the start, written from the same change steps the helper runs.
namespace ScheduleScript {

struct Playing {
    // What the script sets up: the first phase, or the throttle's
    // conditions with the trace's first rates.
    ShapingPlan first;
    // The header's lines about the schedule, each a comment.
    std::string summary;
    // The sh functions; play() starts the players in the background, their
    // ids in $players, each sending USR1 to the script when a step fails.
    // They need $start, the uptime clock's milliseconds when the first
    // shaping was in force.
    std::string functions;
};

// `throttle` gives the slot and scope that every phase keeps; its plan is
// not used. Meant for a schedule that is not empty.
Playing of(const ThrottleParameters& base, const ThrottleSchedule& schedule,
           const ScopedPlan& throttle);

} // namespace ScheduleScript

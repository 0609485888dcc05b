// SPDX-License-Identifier: MIT
#pragma once

#include "ScheduleDictionary.h"

#include <QString>

#include <cstdint>

// How the panel puts where a throttle's schedule stands into words.
namespace ScheduleStandingText {

// "2 of 3 · Outage · 4 s left"; "3 of 3 · Edge · holds" for the last phase
// of a schedule played once; "Recorded trace, looping" for a trace. `nowMs`
// is milliseconds since 1970 UTC.
QString line(const ScheduleDictionary::Standing& standing, std::int64_t nowMs);

// "4 s", "1 min 5 s", "2 h 5 min": a wait, rounded up to the second so that
// it never reads 0 before the change is due.
QString timeLeft(std::int64_t ms);

} // namespace ScheduleStandingText

// SPDX-License-Identifier: MIT
#pragma once

#include "ShaperStatistics.h"
#include "StatisticsReading.h"

#include <cstdint>

class ThrottleOwnership;

// What GetStatistics answers of an active helper: each throttle's figures
// of `reading`, each queue's time at the bandwidth its own throttle gives its
// direction, and at the top those of the throttle the state's configuration
// describes (ThrottleOwnership::principal), never another's. A throttle
// that plays a schedule is timed at the rate its schedule gives it at `nowMs`
// (milliseconds since 1970 UTC, the clock its start is kept in).
ShaperStatistics statisticsOf(const StatisticsReading::Reading& reading,
                              const ThrottleOwnership& ownership, std::int64_t nowMs);

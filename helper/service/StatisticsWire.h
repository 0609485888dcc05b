// SPDX-License-Identifier: MIT
#pragma once

#include "ShaperStatistics.h"
#include "StatisticsReading.h"

class ThrottleOwnership;

// What GetStatistics answers of an active helper: each throttle's figures
// of `reading`, each queue's time at the bandwidth its own throttle gives its
// direction, and at the top those of the throttle the state's configuration
// describes (ThrottleOwnership::principal), never another's.
ShaperStatistics statisticsOf(const StatisticsReading::Reading& reading,
                              const ThrottleOwnership& ownership);

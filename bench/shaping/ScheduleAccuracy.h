// SPDX-License-Identifier: MIT
#pragma once

#include "AccuracyRow.h"

class NetnsPair;

// Schedules as the helper daemon plays them, inside the shaped side of
// `pair`, which must carry no shaping: two phases under a saturating TCP
// download, an outage between two phases against probes each way, a
// recorded capacity of a known curve under a UDP flow faster than its
// peak, when its 100 ms steps took effect, and what playing them costs
// the helper. The steps play for 30 s, or 10 minutes when `longRun`.
void measureSchedules(const NetnsPair& pair, const AccuracyRow& row, bool longRun);

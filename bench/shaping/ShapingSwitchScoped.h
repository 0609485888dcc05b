// SPDX-License-Identifier: MIT
#pragma once

class NetnsPair;

// How long the traffic-control engine itself takes to switch a throttle
// scoped to destinations on and off, beside the whole machine's and from
// nothing, on the shaped side of `pair` with `uplinks` ("vt0,vt2,vt4"): no
// bus, no daemon, the real tc and ip. Prints the median and the slowest of
// 20 of each. Throws std::exception when it cannot measure.
void measureScopedSwitch(NetnsPair& pair, const char* label, const char* uplinks);

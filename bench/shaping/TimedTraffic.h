// SPDX-License-Identifier: MIT
#pragma once

#include "ScheduleFigures.h"

#include <chrono>
#include <vector>

class NetnsPair;

// Traffic between the two sides of a NetnsPair that notes when each thing
// arrived or was sent, in milliseconds from `originMs` on the wall clock
// (wallMs), so that it lines up with a schedule the helper started then.
namespace TimedTraffic {

// Milliseconds since 1970 UTC, as the helper starts schedules by.
double wallMs();
void sleepUntil(double wallMs);

// A TCP download as fast as the shaping lets it, from now until `untilMs`:
// the full frames (1514 bytes on the wire) of its data that reached the
// receiver, counted every 5 ms.
std::vector<ScheduleFigures::Arrival> tcpDownload(const NetnsPair& pair, double originMs,
                                                  double untilMs);

// A UDP download of full frames (1514 bytes on the wire, as each arrival
// counts them) at `bitsPerSecond`, from now until `untilMs`.
std::vector<ScheduleFigures::Arrival> udpDownload(const NetnsPair& pair, double bitsPerSecond,
                                                  double originMs, double untilMs);

// One small UDP probe each way every `spacing`, from now until `untilMs`;
// a probe counts as arrived when it came within `settle` of the last one
// sent.
struct ProbesBothWays {
    std::vector<ScheduleFigures::Probe> download;
    std::vector<ScheduleFigures::Probe> upload;
};
ProbesBothWays probes(const NetnsPair& pair, std::chrono::milliseconds spacing, double originMs,
                      double untilMs, std::chrono::milliseconds settle);

} // namespace TimedTraffic

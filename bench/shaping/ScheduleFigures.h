// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// What the schedule rows make of their measurements. Every time is in
// milliseconds from the schedule's start, on the wall clock the helper
// starts schedules by and both namespaces share.
namespace ScheduleFigures {

// Bytes the receiver got at one moment.
struct Arrival {
    double atMs;
    std::int64_t bytes;
};

// Bits per second that arrived in each of `count` bins of `binMs`, the
// first beginning at `fromMs`.
std::vector<double> binnedRates(const std::vector<Arrival>& arrivals, double fromMs, double binMs,
                                int count);

// The mean capacity in bits per second of a looping trace of bytes per
// second per step over the same bins.
std::vector<double> traceRates(const std::vector<std::int64_t>& trace, double stepMs, double fromMs,
                               double binMs, int count);

// Pearson's correlation; 0 when either side does not vary.
double correlation(const std::vector<double>& first, const std::vector<double>& second);

double mean(const std::vector<double>& values);

// A probe sent at one moment, and whether it reached the other side.
struct Probe {
    double sentMs;
    bool arrived;
};

// How probes sent in order fared around an outage scheduled from `fromMs`
// to `untilMs`, where a probe within `marginMs` of either edge may go
// either way.
struct OutageFigures {
    // Probes that got through though sent well inside it.
    int throughInside = 0;
    // Probes lost though sent well outside it.
    int lostOutside = 0;
    // The first lost probe's sending, and that of the first to arrive after
    // the last lost one, less the edges they stand for; nothing when no
    // probe was lost, or none arrived after.
    std::optional<double> startErrorMs;
    std::optional<double> endErrorMs;

    bool withinTarget(double marginMs) const;
};
OutageFigures outageFigures(const std::vector<Probe>& probes, double fromMs, double untilMs,
                            double marginMs);

// The kernel's word that a shaper now runs at a rate, and when it came.
struct RateChange {
    double atMs;
    std::uint64_t bytesPerSecond;
};

// When a step of a trace took effect against when it was due: `step`
// counts from the start, past the trace's end as it loops.
struct StepTiming {
    std::int64_t step;
    double lateMs;
};

// The steps the changes set, for a trace whose every step within one loop
// has a rate of its own: each change is taken for the step with its rate
// due nearest to it. The first step, which the throttle starts with, and
// changes to rates the trace does not hold are left out.
std::vector<StepTiming> stepTimings(const std::vector<RateChange>& changes,
                                    const std::vector<std::int64_t>& trace, std::int64_t stepMs);

} // namespace ScheduleFigures

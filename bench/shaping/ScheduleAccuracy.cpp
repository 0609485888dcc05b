// SPDX-License-Identifier: MIT
#include "ScheduleAccuracy.h"

#include "HelperInNamespace.h"
#include "NetemRateChanges.h"
#include "ScheduleFigures.h"
#include "TimedTraffic.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <future>
#include <numbers>
#include <optional>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using namespace ScheduleFigures;

namespace {

// Each row's target: a rate within 5 %, an outage's edges within 50 ms, a
// step within 5 ms of when it was due, 2 % of a core.
constexpr double kRateShare = 0.05;
constexpr double kEdgeMs = 50;
constexpr double kStepMs = 5;
constexpr double kCpuShare = 0.02;

std::string printed(const char* pattern, double value, double second = 0, double third = 0,
                    double fourth = 0) {
    char text[128];
    std::snprintf(text, sizeof text, pattern, value, second, third, fourth);
    return text;
}

SchedulePhase phase(const char* name, std::int64_t durationMs, std::int64_t bytesPerSecond,
                    std::int64_t latencyMs) {
    return {name, durationMs, false,
            ThrottleParameters{.downloadBytesPerSecond = bytesPerSecond,
                               .uploadBytesPerSecond = bytesPerSecond,
                               .latencyMs = latencyMs}};
}

// 8 Mbit/s for 5 s, then 1 Mbit/s, under a TCP download that fills it.
// Bins are offset by half a second, so that one bin holds the switch and
// the transition (the queue's packets keep their old pace) stays in it.
void measurePhases(HelperInNamespace& helper, const NetnsPair& pair, const AccuracyRow& row) {
    constexpr double rates[] = {8e6, 1e6};
    ThrottleSchedule schedule;
    schedule.repeat = false;
    // 20 ms of delay, so that the sender's bursts are a real network's.
    schedule.phases = {phase("Fast", 5000, 1'000'000, 20), phase("Slow", 5000, 125'000, 20)};
    const double start = helper.enable(schedule.phases[0].parameters, schedule);
    const std::vector<Arrival> arrivals = TimedTraffic::tcpDownload(pair, start, start + 9500);
    helper.disable();
    const std::vector<double> bins = binnedRates(arrivals, 500, 1000, 9);
    for (int phaseIndex = 0; phaseIndex < 2; ++phaseIndex) {
        const double asked = rates[phaseIndex];
        double least = INFINITY;
        double most = 0;
        for (int bin = phaseIndex * 5; bin < phaseIndex * 5 + 4; ++bin) {
            least = std::fmin(least, bins[std::size_t(bin)]);
            most = std::fmax(most, bins[std::size_t(bin)]);
        }
        row(phaseIndex == 0 ? "schedule, 2 phases, 1-s bins" : "  its second phase",
            printed("%.0f Mbit/s ±5 %%", asked / 1e6),
            printed("4 bins %.3f - %.3f Mbit/s", least / 1e6, most / 1e6),
            least >= asked * (1 - kRateShare) && most <= asked * (1 + kRateShare));
    }
}

std::string described(const OutageFigures& figures) {
    const auto edge = [](const std::optional<double>& error) {
        return error ? printed("%+.0f", *error) : std::string("none");
    };
    return std::to_string(figures.throughInside) + " in, " + std::to_string(figures.lostOutside) +
           " lost out, edges " + edge(figures.startErrorMs) + " / " + edge(figures.endErrorMs) +
           " ms";
}

// An outage of 2 s between two phases, against a probe each way every 10
// ms, each judged by when it was sent: netem drops as a packet comes in.
void measureOutage(HelperInNamespace& helper, const NetnsPair& pair, const AccuracyRow& row) {
    ThrottleSchedule schedule;
    schedule.repeat = false;
    schedule.phases = {phase("Before", 2000, 500'000, 20),
                       {"Outage", 2000, true, {}},
                       phase("After", 2000, 250'000, 40)};
    const double start = helper.enable(schedule.phases[0].parameters, schedule);
    const TimedTraffic::ProbesBothWays probes =
        TimedTraffic::probes(pair, 10ms, start, start + 6000, 300ms);
    helper.disable();
    const OutageFigures down = outageFigures(probes.download, 2000, 4000, kEdgeMs);
    const OutageFigures up = outageFigures(probes.upload, 2000, 4000, kEdgeMs);
    row("schedule, 2-s outage, down", "none in, ±50 ms", described(down),
        down.withinTarget(kEdgeMs));
    row("  and up", "none in, ±50 ms", described(up), up.withinTarget(kEdgeMs));
}

// A sine between 1 and 10 Mbit/s over 20 s in 100 ms steps. Each step's
// rate is its own within the loop, its step number in the last three
// digits, so that the kernel's word of a rate tells which step set it.
std::vector<std::int64_t> sineTrace() {
    constexpr int steps = 200;
    std::vector<std::int64_t> trace;
    for (int step = 0; step < steps; ++step) {
        const double mbit = 5.5 - 4.5 * std::cos(2 * std::numbers::pi * step / steps);
        trace.push_back(std::llround(mbit * 125'000 / 1000) * 1000 + step);
    }
    return trace;
}

void judgeTrace(const std::vector<Arrival>& arrivals, const std::vector<std::int64_t>& trace,
                int bins, const AccuracyRow& row) {
    // From the first whole second on: the flow starts after the enable's reply.
    const std::vector<double> measured = binnedRates(arrivals, 1000, 1000, bins);
    const std::vector<double> expected = traceRates(trace, 100, 1000, 1000, bins);
    const double r = correlation(measured, expected);
    row("trace, sine 1-10 Mbit/s", "r >= 0.95",
        printed("r %.4f over %.0f 1-s bins", r, double(bins)), r >= 0.95);
    const double offBy = mean(measured) / mean(expected) - 1;
    row("  its mean", printed("%.3f Mbit/s ±5 %%", mean(expected) / 1e6),
        printed("%.3f Mbit/s (%+.2f %%)", mean(measured) / 1e6, offBy * 100),
        std::abs(offBy) <= kRateShare);
}

// The steps due in the stretch's last second, judged by their median: a
// schedule timed from one step to the next, not from its start, is late by
// all its steps' errors together there, while a single step held up by the
// machine (the guest shares its processor) says nothing of the schedule.
// The last step and the spread of all are printed beside it.
void judgeSteps(const std::vector<StepTiming>& timings, double stretchMs, const AccuracyRow& row) {
    constexpr std::int64_t kLastSecond = 10;
    const auto lastDue = static_cast<std::int64_t>(std::ceil(stretchMs / 100)) - 1;
    const std::string what = stretchMs >= 60'000 ? "100 ms steps, 10 min" : "100 ms steps, 30 s";
    std::vector<double> late;
    std::vector<double> lastSecond;
    std::optional<double> lastLateMs;
    for (const StepTiming& timing : timings) {
        if (timing.step <= lastDue) {
            late.push_back(timing.lateMs);
        }
        if (timing.step > lastDue - kLastSecond && timing.step <= lastDue) {
            lastSecond.push_back(timing.lateMs);
        }
        if (timing.step == lastDue) {
            lastLateMs = timing.lateMs;
        }
    }
    if (lastSecond.size() < kLastSecond / 2) {
        row(what, "last 1 s ±5 ms", "its steps not heard", false);
        return;
    }
    std::sort(late.begin(), late.end());
    std::sort(lastSecond.begin(), lastSecond.end());
    const double lastSecondMs = lastSecond[lastSecond.size() / 2];
    row(what, "last 1 s ±5 ms",
        printed("median %+.2f ms; step %.0f ", lastSecondMs, double(lastDue)) +
            (lastLateMs ? printed("%+.2f", *lastLateMs) : std::string("not heard")) +
            printed("; all: median %+.2f, most %+.1f", late[late.size() / 2], late.back()) + ", " +
            std::to_string(late.size()) + " of " + std::to_string(lastDue) + " heard",
        std::abs(lastSecondMs) <= kStepMs);
}

// The helper's processor time over windows of 5 s from `fromMs` to
// `untilMs`, as shares of a core.
std::vector<double> cpuShares(HelperInNamespace& helper, double fromMs, double untilMs) {
    constexpr double windowMs = 5000;
    std::vector<double> shares;
    TimedTraffic::sleepUntil(fromMs);
    double cpu = helper.cpuSeconds();
    double at = TimedTraffic::wallMs();
    // On the schedule's clock, so that late wake-ups do not add up.
    for (double end = fromMs + windowMs; end <= untilMs; end += windowMs) {
        TimedTraffic::sleepUntil(end);
        const double nextCpu = helper.cpuSeconds();
        const double nextAt = TimedTraffic::wallMs();
        shares.push_back((nextCpu - cpu) / (nextAt - at) * 1000);
        cpu = nextCpu;
        at = nextAt;
    }
    return shares;
}

// Judged by the median window: the guest's clock ticks charge whichever of
// its processes is current with all the time the host took the guest's
// processor away, which on a loaded machine lands on the helper now and
// then and makes one window of its cost many times the others.
void judgeCpu(std::vector<double> shares, const AccuracyRow& row) {
    if (shares.empty()) {
        row("helper's CPU, 100 ms trace", "<= 2 % of a core", "not measured", false);
        return;
    }
    const double average = mean(shares);
    std::sort(shares.begin(), shares.end());
    const double median = shares[shares.size() / 2];
    row("helper's CPU, 100 ms trace", "<= 2 % of a core",
        printed("median %.2f %% (mean %.2f, most %.2f) of ", median * 100, average * 100,
                shares.back() * 100) +
            std::to_string(shares.size()) + " windows of 5 s, steps 101 ms apart",
        median <= kCpuShare);
}

// The trace under a UDP download of 12 Mbit/s, which netem cuts to the
// step's rate; meanwhile the kernel's word of each step.
void measureTrace(HelperInNamespace& helper, const NetnsPair& pair, const AccuracyRow& row,
                  bool longRun) {
    const double stretchMs = longRun ? 600'000 : 30'000;
    ThrottleSchedule schedule;
    schedule.trace.stepMs = 100;
    schedule.trace.downloadBytesPerSecond = sineTrace();
    const NetemRateChanges changes(pair);
    const double start =
        helper.enable(ThrottleParameters{.downloadBytesPerSecond = 1'250'000}, schedule);
    const std::vector<Arrival> arrivals =
        TimedTraffic::udpDownload(pair, 12e6, start, start + stretchMs);
    // Past the last step due within the stretch, so that its word is in.
    TimedTraffic::sleepUntil(start + stretchMs + 50);
    const std::vector<RateChange> heard = changes.heard(start);
    helper.disable();
    judgeTrace(arrivals, schedule.trace.downloadBytesPerSecond,
               static_cast<int>(stretchMs / 1000) - 1, row);
    judgeSteps(stepTimings(heard, schedule.trace.downloadBytesPerSecond, 100), stretchMs, row);
    if (!changes.realTime()) {
        std::printf("  (the kernel's word was heard at normal priority: steps may read late)\n");
    }
}

// The helper's processor time while the trace plays under the same flow,
// from 1 s in (the enable's own work is not the trace's), its steps 101 ms
// apart and the figure scaled to steps of 100 ms. The guest charges a tick
// of 10 ms to whichever process runs when it comes: steps 100 ms apart
// would be sampled at the same moment of each, all of a step's cost or none
// of it; 101 ms moves that moment by a millisecond a step, across the whole
// step in ten.
void measureCost(HelperInNamespace& helper, const NetnsPair& pair, const AccuracyRow& row) {
    constexpr double stretchMs = 21'000;
    constexpr std::int64_t stepMs = 101;
    ThrottleSchedule schedule;
    schedule.trace.stepMs = stepMs;
    schedule.trace.downloadBytesPerSecond = sineTrace();
    const double start =
        helper.enable(ThrottleParameters{.downloadBytesPerSecond = 1'250'000}, schedule);
    auto flow = std::async(std::launch::async, [&] {
        return TimedTraffic::udpDownload(pair, 12e6, start, start + stretchMs);
    });
    std::vector<double> shares = cpuShares(helper, start + 1000, start + stretchMs);
    for (double& share : shares) {
        share *= double(stepMs) / 100;
    }
    flow.get();
    helper.disable();
    judgeCpu(shares, row);
}

} // namespace

void measureSchedules(const NetnsPair& pair, const AccuracyRow& row, bool longRun) {
    std::printf("schedules played by the helper daemon; 100 ms steps for %s\n",
                longRun ? "10 minutes (--long)" : "30 s (10 minutes with --long)");
    HelperInNamespace helper(pair);
    measurePhases(helper, pair, row);
    measureOutage(helper, pair, row);
    measureTrace(helper, pair, row, longRun);
    measureCost(helper, pair, row);
}

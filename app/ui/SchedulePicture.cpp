// SPDX-License-Identifier: MIT
#include "SchedulePicture.h"

#include <algorithm>
#include <numeric>

namespace SchedulePicture {

namespace {

const std::vector<std::int64_t>& shownDirection(const CapacityTrace& trace) {
    return trace.downloadBytesPerSecond.empty() ? trace.uploadBytesPerSecond
                                                : trace.downloadBytesPerSecond;
}

std::int64_t totalMs(const ProfileSchedule& schedule) {
    return std::accumulate(
        schedule.phases.begin(), schedule.phases.end(), std::int64_t(0),
        [](std::int64_t sum, const ProfilePhase& phase) { return sum + phase.durationMs; });
}

} // namespace

std::vector<Segment> segments(const ProfileSchedule& schedule) {
    std::vector<Segment> result;
    const std::int64_t total = totalMs(schedule);
    if (total <= 0) {
        return result;
    }
    std::int64_t start = 0;
    for (const ProfilePhase& phase : schedule.phases) {
        result.push_back({double(start) / double(total), double(phase.durationMs) / double(total),
                          phase.isOutage(), phase.name});
        start += phase.durationMs;
    }
    return result;
}

std::vector<double> curve(const CapacityTrace& trace, std::size_t bars) {
    const std::vector<std::int64_t>& rates = shownDirection(trace);
    std::vector<double> heights;
    if (rates.empty() || bars == 0) {
        return heights;
    }
    const std::int64_t highest = *std::max_element(rates.begin(), rates.end());
    const std::size_t count = std::min(bars, rates.size());
    for (std::size_t bar = 0; bar < count; ++bar) {
        const std::size_t from = bar * rates.size() / count;
        const std::size_t to = (bar + 1) * rates.size() / count;
        const double sum = std::accumulate(rates.begin() + std::ptrdiff_t(from),
                                           rates.begin() + std::ptrdiff_t(to), 0.0);
        const double mean = sum / double(to - from);
        heights.push_back(highest > 0 ? mean / double(highest) : 0.0);
    }
    return heights;
}

double marker(const ProfileSchedule& schedule, std::int64_t elapsedMs) {
    elapsedMs = std::max<std::int64_t>(elapsedMs, 0);
    if (!schedule.phases.empty()) {
        const std::int64_t total = totalMs(schedule);
        if (total <= 0) {
            return 0;
        }
        if (!schedule.repeat && elapsedMs >= total) {
            return 1;
        }
        return double(elapsedMs % total) / double(total);
    }
    const std::int64_t length =
        std::int64_t(shownDirection(schedule.trace).size()) * schedule.trace.stepMs;
    return length > 0 ? double(elapsedMs % length) / double(length) : 0.0;
}

} // namespace SchedulePicture

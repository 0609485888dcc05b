// SPDX-License-Identifier: MIT
#include "StatisticsWire.h"

#include "ShapingPlan.h"
#include "ThrottleOwnership.h"

#include <chrono>

namespace {

// Unlimited, what waits only waits for its delay: no time to tell.
void timeQueue(std::optional<DirectionStatistics>& figures, std::int64_t bytesPerSecond) {
    if (figures && bytesPerSecond > 0) {
        const auto rate = static_cast<std::uint64_t>(bytesPerSecond);
        figures->queueMs = (figures->queuedBytes * 1000 + rate / 2) / rate;
    }
}

} // namespace

ShaperStatistics statisticsOf(const StatisticsReading::Reading& reading,
                              const ThrottleOwnership& ownership, std::int64_t nowMs) {
    ShaperStatistics statistics;
    statistics.active = true;
    statistics.takenAtMs = std::uint64_t(
        std::chrono::duration_cast<std::chrono::milliseconds>(reading.takenAt.time_since_epoch())
            .count());
    const auto principal = ownership.principalId();
    for (ThrottleStatistics throttle : reading.figures) {
        // A throttle the figures name but no record does has just ended.
        const ThrottleOwnership::Record* record = ownership.find(throttle.id);
        if (record == nullptr) {
            continue;
        }
        const ShapingPlan plan = ShapingPlan::from(
            record->schedule.empty()
                ? record->parameters
                : record->schedule.at(nowMs - record->scheduleStartedAt, record->parameters)
                      .parameters);
        timeQueue(throttle.download, plan.download.bandwidthBytesPerSecond);
        timeQueue(throttle.upload, plan.upload.bandwidthBytesPerSecond);
        if (principal == throttle.id) {
            statistics.download = throttle.download;
            statistics.upload = throttle.upload;
        }
        statistics.throttles.push_back(std::move(throttle));
    }
    return statistics;
}

// SPDX-License-Identifier: MIT
#include "StatisticsWire.h"

#include "HelperProtocol.h"
#include "ShapingPlan.h"

namespace {

namespace Keys = HelperProtocol::Statistics;

QVariantMap directionToWire(const DirectionStatistics& figures, std::int64_t bytesPerSecond) {
    QVariantMap wire{
        {Keys::kBytes, qulonglong(figures.bytes)},
        {Keys::kPackets, qulonglong(figures.packets)},
        {Keys::kDropped, qulonglong(figures.dropped)},
        {Keys::kQueuedPackets, qulonglong(figures.queuedPackets)},
        {Keys::kQueuedBytes, qulonglong(figures.queuedBytes)},
    };
    // Unlimited, what waits only waits for its delay: no time to tell.
    if (bytesPerSecond > 0) {
        const auto rate = static_cast<std::uint64_t>(bytesPerSecond);
        wire.insert(Keys::kQueueMs, qulonglong((figures.queuedBytes * 1000 + rate / 2) / rate));
    }
    return wire;
}

} // namespace

QVariantMap statisticsToWire(const StatisticsReading::Reading& reading,
                             const std::optional<ThrottleParameters>& inForce) {
    const ShapingPlan plan = inForce ? ShapingPlan::from(*inForce) : ShapingPlan{};
    QVariantMap wire{
        {Keys::kActive, true},
        {Keys::kTakenAt, qulonglong(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        reading.takenAt.time_since_epoch())
                                        .count())},
    };
    if (reading.figures.download) {
        wire.insert(Keys::kDownload, directionToWire(*reading.figures.download,
                                                     plan.download.bandwidthBytesPerSecond));
    }
    if (reading.figures.upload) {
        wire.insert(Keys::kUpload,
                    directionToWire(*reading.figures.upload, plan.upload.bandwidthBytesPerSecond));
    }
    return wire;
}

// SPDX-License-Identifier: MIT
#include "ShapingPlan.h"

#include "DecimalFormat.h"

#include <algorithm>
#include <cmath>

namespace {

// netem's limit counts packets: those its delay holds in flight and those
// its rate keeps waiting. It is sized in full Ethernet frames, what bulk
// traffic fills a queue with once the token bucket in front has cut
// offloaded packets:
// - the delay: what the rate carries during the delay (with no rate set,
//   the fastest rate the engine takes);
// - the rate: 50 frames more, the default queue of dummynet, so a bulk
//   transfer waits no longer behind the rate than it would there: 2.5 s on
//   "Edge" (240 kbit/s), where netem's default of 1000 packets gave 50 s;
// - at most 16 MiB of frames per queue, whatever is asked: no request may
//   make the kernel queue without bound. At 10 Gbit/s that still carries
//   13 ms of delay without loss, at 100 Mbit/s 1.3 s.
using NetemQueue::kFrameBytes;
using NetemQueue::kRateQueueFrames;
constexpr std::int64_t kMaxQueueFrames = (16 << 20) / kFrameBytes;

std::int64_t netemLimit(const DirectionShaping& shaping) {
    const std::int64_t bytesPerSecond = shaping.bandwidthBytesPerSecond > 0
                                            ? shaping.bandwidthBytesPerSecond
                                            : ParameterLimits::kMaxBandwidthBytesPerSecond;
    // At most 1.25e9 * 10000 = 1.25e13: no overflow.
    // The longest a packet is held: the latency plus all of its jitter.
    const std::int64_t bytesInFlight =
        bytesPerSecond * std::max<std::int64_t>(shaping.latencyMs + shaping.jitterMs, 0) / 1000;
    const std::int64_t framesInFlight = (bytesInFlight + kFrameBytes - 1) / kFrameBytes;
    return std::min(framesInFlight + kRateQueueFrames, kMaxQueueFrames);
}

} // namespace

ShapingPlan ShapingPlan::from(const ThrottleParameters& parameters) {
    // The two halves add up to the request; upload takes the odd
    // millisecond. The jitter is halved the same way, so each half stays
    // within its latency and the round trip varies by up to the jitter.
    DirectionShaping download;
    download.bandwidthBytesPerSecond = parameters.downloadBytesPerSecond;
    download.latencyMs = parameters.latencyMs / 2;
    download.jitterMs = parameters.jitterMs / 2;
    download.packetLossPercent = parameters.packetLossPercent;
    download.lossCorrelationPercent = parameters.lossCorrelationPercent;
    download.reorderPercent = parameters.reorderPercent;
    download.duplicatePercent = parameters.duplicatePercent;
    DirectionShaping upload;
    upload.bandwidthBytesPerSecond = parameters.uploadBytesPerSecond;
    upload.latencyMs = (parameters.latencyMs + 1) / 2;
    upload.jitterMs = (parameters.jitterMs + 1) / 2;
    return {download, upload};
}

ShapingPlan ShapingPlan::blocking(bool download, bool upload) const {
    ShapingPlan plan = *this;
    if (download) {
        plan.download.packetLossPercent = 100.0;
    }
    if (upload) {
        plan.upload.packetLossPercent = 100.0;
    }
    return plan;
}

std::vector<std::string> netemArguments(const DirectionShaping& shaping) {
    std::vector<std::string> arguments = {"netem", "limit", std::to_string(netemLimit(shaping))};
    const auto percent = [](double value) { return formatShortestDecimal(value) + "%"; };
    // netem sends every packet when its own delay is up, so with jitter a
    // later packet would overtake an earlier one. Given a rate, it schedules
    // each packet no earlier than the one queued before it: order is kept,
    // and a packet that drew a short delay behind a long one waits for it, as
    // on a real path. (A pfifo child no longer keeps order: netem sorts by due
    // time itself and hands on only what is due.) Jitter without a bandwidth
    // therefore gets the engine's largest rate, which holds back nothing but
    // overtaking. Asked-for reordering still sends its share ahead of it all.
    std::int64_t rate = shaping.bandwidthBytesPerSecond;
    if (rate == 0 && shaping.jitterMs > 0) {
        rate = ParameterLimits::kMaxBandwidthBytesPerSecond;
    }
    if (rate > 0) {
        arguments.insert(arguments.end(), {"rate", std::to_string(rate * 8) + "bit"});
    }
    if (shaping.latencyMs > 0) {
        arguments.insert(arguments.end(), {"delay", std::to_string(shaping.latencyMs) + "ms"});
        // With no distribution table netem draws the jitter uniformly from
        // the latency minus to the latency plus the jitter.
        if (shaping.jitterMs > 0) {
            arguments.push_back(std::to_string(shaping.jitterMs) + "ms");
        }
    }
    // A whole number of steps divided by their count reads back in four
    // decimals at most, so its shortest text is short.
    const double loss = percentInSteps(shaping.packetLossPercent);
    const double correlation = percentInSteps(shaping.lossCorrelationPercent);
    if (loss > 0.0 && correlation > 0.0 && loss < 100.0) {
        // Not "loss random L% C%": netem's correlated draws bunch around the
        // middle of their range, so 2 % with 25 % correlation drops nothing
        // at all. A two-state chain (lossless good, lossy bad) keeps the loss
        // and gives successive losses the correlation asked: p = L(1 - C)
        // into the bad state, r = (1 - L)(1 - C) out of it.
        const double keep = (100.0 - correlation) / 100.0;
        // Millionths of a percent keep both non-zero down to the smallest
        // loss and up to the largest correlation the check lets through.
        const auto chance = [&](double value) { return percent(std::round(value * 1e6) / 1e6); };
        arguments.insert(arguments.end(), {"loss", "gemodel", chance(loss * keep),
                                           chance((100.0 - loss) * keep), "100%", "0%"});
    } else if (loss > 0.0) {
        arguments.insert(arguments.end(), {"loss", "random", percent(loss)});
    }
    if (const double duplicate = percentInSteps(shaping.duplicatePercent); duplicate > 0.0) {
        arguments.insert(arguments.end(), {"duplicate", percent(duplicate)});
    }
    // Sent ahead means sent without the delay, so tc refuses reordering
    // without one; the parameter check asks for a latency whose inbound half
    // is at least a millisecond.
    if (const double reorder = percentInSteps(shaping.reorderPercent); reorder > 0.0) {
        arguments.insert(arguments.end(), {"reorder", percent(reorder)});
    }
    return arguments;
}

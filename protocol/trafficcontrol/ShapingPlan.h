// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleParameters.h"

#include <cstdint>
#include <string>
#include <vector>

// What one direction of traffic gets; zero leaves that condition out.
struct DirectionShaping {
    std::int64_t bandwidthBytesPerSecond = 0;
    std::int64_t latencyMs = 0;
    double packetLossPercent = 0.0;
    // The delay varies by up to this much either way; never more than the
    // latency, so no packet is due before it arrived.
    std::int64_t jitterMs = 0;
    double lossCorrelationPercent = 0.0;
    double reorderPercent = 0.0;
    double duplicatePercent = 0.0;

    bool operator==(const DirectionShaping&) const = default;
};

// A request already split into its two directions: the latency and its
// variation shared out, and what thins out, reorders or duplicates packets
// on inbound traffic only. Both engines shape from it, and the exported tc
// script is written from it.
struct ShapingPlan {
    DirectionShaping download;
    DirectionShaping upload;

    static ShapingPlan from(const ThrottleParameters& parameters);
    // The same plan passing nothing in the directions named (a schedule's
    // outage): every packet lost, not a rate of nothing, so that what is
    // queued leaves and the next change finds the shaping as it was.
    ShapingPlan blocking(bool download, bool upload) const;

    bool operator==(const ShapingPlan&) const = default;
};

// How netem's queue is sized: in full Ethernet frames, and 50 of them behind
// the rate, the default queue of dummynet.
namespace NetemQueue {
inline constexpr std::int64_t kFrameBytes = 1514;
inline constexpr std::int64_t kRateQueueFrames = 50;
} // namespace NetemQueue

// The netem options for one direction, "netem" first.
std::vector<std::string> netemArguments(const DirectionShaping& shaping);

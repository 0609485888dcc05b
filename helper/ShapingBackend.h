// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

// What one direction of traffic gets; zero leaves that condition out.
struct DirectionShaping {
    std::int64_t bandwidthBytesPerSecond = 0;
    std::int64_t latencyMs = 0;
    double packetLossPercent = 0.0;
};

// A request already split into its two directions: the latency shared out and
// the loss on inbound traffic only.
struct ShapingPlan {
    DirectionShaping download;
    DirectionShaping upload;
};

// The kernel mechanism that shapes traffic. The engine owns the lock, the
// state and the log lines every mechanism shares; a backend only runs tools.
class ShapingBackend {
public:
    virtual ~ShapingBackend() = default;

    // Removes everything a previous apply may have left; never fails.
    virtual void removeShaping() noexcept = 0;

    // Throws HelperError, or std::system_error when a tool cannot be started.
    // Nothing is rolled back on failure; the next removeShaping() clears it.
    virtual void applyShaping(const ShapingPlan& plan) = 0;
};

// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// One throttling request in wire units. Zero means "no limit" or "none".
struct ThrottleParameters {
    std::int64_t downloadBytesPerSecond = 0;
    std::int64_t uploadBytesPerSecond = 0;
    std::int64_t latencyMs = 0;
    double packetLossPercent = 0.0;
    std::int64_t dnsDelayMs = 0;
};

inline constexpr std::int64_t kMaxBandwidthBytesPerSecond = 1'250'000'000; // 10 Gbit/s
inline constexpr std::int64_t kMaxLatencyMs = 10'000;
inline constexpr std::int64_t kMaxDnsDelayMs = 30'000;

// The message of the first rule the parameters break, or nothing when they
// are acceptable. The rules are tried in a fixed order so that a request with
// several faults always reports the same one.
std::optional<std::string> checkThrottleParameters(const ThrottleParameters& parameters);

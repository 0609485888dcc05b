// SPDX-License-Identifier: MIT
#pragma once

#include "HelperProtocol.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

// One throttling request in wire units. Zero means "no limit" or "none".
struct ThrottleParameters {
    std::int64_t downloadBytesPerSecond = 0;
    std::int64_t uploadBytesPerSecond = 0;
    std::int64_t latencyMs = 0;
    double packetLossPercent = 0.0;
    std::int64_t dnsDelayMs = 0;
    // Only through the dictionary of named parameters; EnableThrottling
    // leaves them at zero.
    std::int64_t jitterMs = 0;
    double lossCorrelationPercent = 0.0;
    double reorderPercent = 0.0;
    double duplicatePercent = 0.0;

    // Every parameter under its wire key, so that each codec (the bus
    // dictionary, the owner record) goes over one list and a new field
    // cannot be forgotten by one of them. Exactly one member pointer is set.
    struct Field {
        const char* key;
        std::int64_t ThrottleParameters::*integer;
        double ThrottleParameters::*real;
        // One of the five that every client has always sent and read.
        bool original;
    };
    static std::span<const Field> fields();

    bool operator==(const ThrottleParameters&) const = default;
};

// Declared with the wire constants, where clients check against them too.
inline constexpr std::int64_t kMaxBandwidthBytesPerSecond =
    HelperProtocol::Limits::kMaxBandwidthBytesPerSecond;
inline constexpr std::int64_t kMaxLatencyMs = HelperProtocol::Limits::kMaxLatencyMs;
inline constexpr std::int64_t kMaxDnsDelayMs = HelperProtocol::Limits::kMaxDnsDelayMs;
inline constexpr std::int64_t kMinReorderLatencyMs = HelperProtocol::Limits::kMinReorderLatencyMs;

// A percentage in whole steps of the finest figure the engines ask for
// (0.0001 %): a finer figure (a denormal, say) would only lengthen tool
// arguments and log lines by hundreds of digits that netem's 32-bit
// probability cannot hold.
double percentInSteps(double percent);

// The same parameters with every percentage in whole steps.
ThrottleParameters inSteps(ThrottleParameters parameters);

// The message of the first rule the parameters break, or nothing when they
// are acceptable. The rules are tried in a fixed order so that a request with
// several faults always reports the same one.
std::optional<std::string> checkThrottleParameters(const ThrottleParameters& parameters);

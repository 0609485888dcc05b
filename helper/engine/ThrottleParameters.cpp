// SPDX-License-Identifier: MIT
#include "ThrottleParameters.h"

#include <cmath>

double packetLossInSteps(double percent) {
    constexpr auto steps = static_cast<double>(HelperProtocol::Limits::kPacketLossStepsPerPercent);
    return std::round(percent * steps) / steps;
}

std::optional<std::string> checkThrottleParameters(const ThrottleParameters& parameters) {
    if (parameters.downloadBytesPerSecond < 0) {
        return "Download bandwidth cannot be negative";
    }
    if (parameters.downloadBytesPerSecond > kMaxBandwidthBytesPerSecond) {
        return "Download bandwidth exceeds maximum allowed value";
    }
    if (parameters.uploadBytesPerSecond < 0) {
        return "Upload bandwidth cannot be negative";
    }
    if (parameters.uploadBytesPerSecond > kMaxBandwidthBytesPerSecond) {
        return "Upload bandwidth exceeds maximum allowed value";
    }
    if (parameters.latencyMs < 0) {
        return "Latency cannot be negative";
    }
    if (parameters.latencyMs > kMaxLatencyMs) {
        return "Latency exceeds maximum allowed value (" + std::to_string(kMaxLatencyMs) + "ms)";
    }
    // Written so that NaN fails too: every comparison with NaN is false.
    if (!(parameters.packetLossPercent >= 0.0 && parameters.packetLossPercent <= 100.0)) {
        return "Packet loss must be between 0 and 100 percent";
    }
    if (parameters.dnsDelayMs < 0) {
        return "DNS delay cannot be negative";
    }
    if (parameters.dnsDelayMs > kMaxDnsDelayMs) {
        return "DNS delay exceeds maximum allowed value (" + std::to_string(kMaxDnsDelayMs) + "ms)";
    }
    return std::nullopt;
}

// SPDX-License-Identifier: MIT
#include "ThrottleParameters.h"

#include "ShapingBackend.h"

#include <array>
#include <cmath>

namespace {

namespace Key = HelperProtocol::Configuration;
using P = ThrottleParameters;

constexpr std::array<P::Field, 9> kFields{{
    {Key::kDownloadBytesPerSecond, &P::downloadBytesPerSecond, nullptr, true},
    {Key::kUploadBytesPerSecond, &P::uploadBytesPerSecond, nullptr, true},
    {Key::kLatencyMs, &P::latencyMs, nullptr, true},
    {Key::kPacketLossPercent, nullptr, &P::packetLossPercent, true},
    {Key::kDnsDelayMs, &P::dnsDelayMs, nullptr, true},
    {Key::kJitterMs, &P::jitterMs, nullptr, false},
    {Key::kLossCorrelationPercent, nullptr, &P::lossCorrelationPercent, false},
    {Key::kReorderPercent, nullptr, &P::reorderPercent, false},
    {Key::kDuplicatePercent, nullptr, &P::duplicatePercent, false},
}};

// Written so that NaN fails too: every comparison with NaN is false.
bool isPercentage(double value) {
    return value >= 0.0 && value <= 100.0;
}

} // namespace

std::span<const ThrottleParameters::Field> ThrottleParameters::fields() {
    return kFields;
}

double percentInSteps(double percent) {
    constexpr auto steps = static_cast<double>(HelperProtocol::Limits::kPacketLossStepsPerPercent);
    return std::round(percent * steps) / steps;
}

ThrottleParameters inSteps(ThrottleParameters parameters) {
    for (const auto& field : ThrottleParameters::fields()) {
        if (field.real != nullptr) {
            parameters.*field.real = percentInSteps(parameters.*field.real);
        }
    }
    return parameters;
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
    if (!isPercentage(parameters.packetLossPercent)) {
        return "Packet loss must be between 0 and 100 percent";
    }
    if (parameters.dnsDelayMs < 0) {
        return "DNS delay cannot be negative";
    }
    if (parameters.dnsDelayMs > kMaxDnsDelayMs) {
        return "DNS delay exceeds maximum allowed value (" + std::to_string(kMaxDnsDelayMs) + "ms)";
    }
    // Delays vary around the latency, never below none.
    if (parameters.jitterMs < 0) {
        return "Jitter cannot be negative";
    }
    if (parameters.jitterMs > parameters.latencyMs) {
        return "Jitter cannot exceed the latency (" + std::to_string(parameters.latencyMs) + "ms)";
    }
    if (!(isPercentage(parameters.lossCorrelationPercent) &&
          parameters.lossCorrelationPercent <=
              HelperProtocol::Limits::kMaxLossCorrelationPercent)) {
        return "Loss correlation must be between 0 and " +
               std::to_string(
                   static_cast<int>(HelperProtocol::Limits::kMaxLossCorrelationPercent)) +
               " percent";
    }
    if (parameters.lossCorrelationPercent > 0.0 && !(parameters.packetLossPercent > 0.0)) {
        return "Loss correlation needs a packet loss";
    }
    if (!isPercentage(parameters.reorderPercent)) {
        return "Reordering must be between 0 and 100 percent";
    }
    // Packets are sent ahead of the inbound half of the latency, which is
    // the latency divided by two, rounded down.
    if (parameters.reorderPercent > 0.0 && parameters.latencyMs < kMinReorderLatencyMs) {
        return "Reordering needs a latency of at least " + std::to_string(kMinReorderLatencyMs) +
               "ms";
    }
    if (!isPercentage(parameters.duplicatePercent)) {
        return "Duplication must be between 0 and 100 percent";
    }
    return std::nullopt;
}

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

// SPDX-License-Identifier: MIT
#include "ThrottleParameters.h"

#include "DecimalFormat.h"

#include <array>
#include <cmath>

namespace {

using P = ThrottleParameters;
namespace Limits = ParameterLimits;

// The five first, in the order of EnableThrottling's arguments; whole
// milliseconds are integers, percentages may have fractions.
constexpr std::array<P::Field, 9> kFields{{
    {"downloadBytesPerSecond", &P::downloadBytesPerSecond, nullptr, false, "Download bandwidth",
     "down", "B/s", Limits::kMaxBandwidthBytesPerSecond},
    {"uploadBytesPerSecond", &P::uploadBytesPerSecond, nullptr, false, "Upload bandwidth", "up",
     "B/s", Limits::kMaxBandwidthBytesPerSecond},
    {"latencyMs", &P::latencyMs, nullptr, false, "Latency", "latency", "ms", Limits::kMaxLatencyMs},
    {"packetLossPercent", nullptr, &P::packetLossPercent, false, "Packet loss", "loss", "%", 100},
    {"dnsDelayMs", &P::dnsDelayMs, nullptr, false, "DNS delay", "dns", "ms",
     Limits::kMaxDnsDelayMs},
    // At most the latency, which is at most its own limit.
    {"jitterMs", &P::jitterMs, nullptr, true, "Jitter", "jitter", "ms", Limits::kMaxLatencyMs},
    {"lossCorrelationPercent", nullptr, &P::lossCorrelationPercent, true, "Loss correlation",
     "correlation", "%", Limits::kMaxLossCorrelationPercent},
    {"reorderPercent", nullptr, &P::reorderPercent, true, "Reordering", "reorder", "%", 100},
    {"duplicatePercent", nullptr, &P::duplicatePercent, true, "Duplication", "duplicate", "%", 100},
}};

// Written so that NaN fails too: every comparison with NaN is false.
bool isPercentage(double value, double maximum = 100.0) {
    return value >= 0.0 && value <= maximum;
}

std::string milliseconds(std::int64_t value) {
    return std::to_string(value) + "ms";
}

} // namespace

bool ThrottleParameters::Field::isSet(const ThrottleParameters& parameters) const {
    return integer != nullptr ? parameters.*integer != 0 : parameters.*real != 0.0;
}

std::string ThrottleParameters::Field::text(const ThrottleParameters& parameters) const {
    return integer != nullptr ? std::to_string(parameters.*integer)
                              : formatShortestDecimal(parameters.*real);
}

std::span<const ThrottleParameters::Field> ThrottleParameters::fields() {
    return kFields;
}

const ThrottleParameters::Field* ThrottleParameters::field(std::string_view key) {
    for (const Field& field : kFields) {
        if (key == field.key) {
            return &field;
        }
    }
    return nullptr;
}

bool ThrottleParameters::needsNamedParameters() const {
    for (const Field& field : kFields) {
        if (field.optional && field.isSet(*this)) {
            return true;
        }
    }
    return false;
}

double percentInSteps(double percent) {
    constexpr auto steps = static_cast<double>(Limits::kPercentStepsPerPercent);
    return std::round(percent * steps) / steps;
}

ThrottleParameters ThrottleParameters::inSteps() const {
    ThrottleParameters stepped = *this;
    for (const Field& field : kFields) {
        if (field.real != nullptr) {
            stepped.*field.real = percentInSteps(stepped.*field.real);
        }
    }
    return stepped;
}

std::string ThrottleParameters::logText() const {
    std::string text;
    for (const Field& field : kFields) {
        if (!field.optional || field.isSet(*this)) {
            text += (text.empty() ? "" : " ") + std::string(field.logName) + "=" +
                    field.text(*this) + field.unit;
        }
    }
    return text;
}

std::optional<std::string> ThrottleParameters::check() const {
    for (const Field& field : kFields) {
        const std::string name = field.name;
        if (field.integer != nullptr) {
            const std::int64_t value = this->*field.integer;
            if (value < 0) {
                return name + " cannot be negative";
            }
            // Delays vary around the latency, never below none.
            if (field.integer == &P::jitterMs && value > latencyMs) {
                return name + " cannot exceed the latency (" + milliseconds(latencyMs) + ")";
            }
            if (value > field.maximum) {
                return name + " exceeds maximum allowed value" +
                       (field.unit == std::string_view("ms")
                            ? " (" + milliseconds(static_cast<std::int64_t>(field.maximum)) + ")"
                            : "");
            }
            continue;
        }
        if (!isPercentage(this->*field.real, field.maximum)) {
            return name + " must be between 0 and " +
                   std::to_string(static_cast<int>(field.maximum)) + " percent";
        }
        if (field.real == &P::lossCorrelationPercent && lossCorrelationPercent > 0.0 &&
            !(packetLossPercent > 0.0)) {
            return name + " needs a packet loss";
        }
        // Packets are sent ahead of the inbound half of the latency, which
        // is the latency divided by two, rounded down.
        if (field.real == &P::reorderPercent && reorderPercent > 0.0 &&
            latencyMs < Limits::kMinReorderLatencyMs) {
            return name + " needs a latency of at least " +
                   milliseconds(Limits::kMinReorderLatencyMs);
        }
    }
    return std::nullopt;
}

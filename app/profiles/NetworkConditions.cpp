// SPDX-License-Identifier: MIT
#include "NetworkConditions.h"

#include <array>

namespace {

using C = NetworkConditions;
using F = NetworkConditions::Field;

F bandwidthField(Condition condition, const char* storedKey, const char* title,
                 std::optional<Bandwidth> C::*member, const char* parameterKey) {
    return {condition,    QLatin1StringView(storedKey),
            title,        "Bandwidth",
            nullptr,      member,
            nullptr,      nullptr,
            parameterKey, false};
}

F millisecondsField(Condition condition, const char* storedKey, const char* title,
                    const char* subject, const char* hint, std::optional<std::int64_t> C::*member,
                    const char* parameterKey, bool advanced) {
    return {condition,    QLatin1StringView(storedKey),
            title,        subject,
            hint,         nullptr,
            member,       nullptr,
            parameterKey, advanced};
}

F percentField(Condition condition, const char* storedKey, const char* title, const char* subject,
               const char* hint, std::optional<double> C::*member, const char* parameterKey,
               bool advanced) {
    return {condition,    QLatin1StringView(storedKey),
            title,        subject,
            hint,         nullptr,
            nullptr,      member,
            parameterKey, advanced};
}

// In the order of Condition.
const std::array<F, kConditionCount> kFields{{
    bandwidthField(Condition::download, "downloadBandwidth", "Download", &C::downloadBandwidth,
                   "downloadBytesPerSecond"),
    bandwidthField(Condition::upload, "uploadBandwidth", "Upload", &C::uploadBandwidth,
                   "uploadBytesPerSecond"),
    millisecondsField(Condition::latency, "latency", "Latency", "Latency", nullptr, &C::latency,
                      "latencyMs", false),
    percentField(Condition::packetLoss, "packetLossPercent", "Packet Loss", "Packet loss", nullptr,
                 &C::packetLossPercent, "packetLossPercent", false),
    millisecondsField(Condition::dnsDelay, "dnsDelay", "DNS Delay", "DNS delay", nullptr,
                      &C::dnsDelay, "dnsDelayMs", false),
    millisecondsField(Condition::jitter, "jitter", "Jitter", "Jitter",
                      "The delay varies this much either way", &C::jitter, "jitterMs", true),
    percentField(Condition::lossCorrelation, "packetLossCorrelationPercent", "Loss Correlation",
                 "Loss correlation", "Losses come in runs", &C::packetLossCorrelationPercent,
                 "lossCorrelationPercent", true),
    percentField(Condition::reorder, "reorderPercent", "Reordering", "Reordering",
                 "Packets sent ahead of the others", &C::reorderPercent, "reorderPercent", true),
    percentField(Condition::duplicate, "duplicatePercent", "Duplication", "Duplication",
                 "Packets delivered twice", &C::duplicatePercent, "duplicatePercent", true),
}};

} // namespace

bool NetworkConditions::Field::isSet(const NetworkConditions& conditions) const {
    if (bandwidth != nullptr) {
        return (conditions.*bandwidth).has_value();
    }
    if (milliseconds != nullptr) {
        const auto& value = conditions.*milliseconds;
        return value.has_value() && (!advanced || *value > 0);
    }
    return (conditions.*percent).value_or(0.0) > 0.0;
}

const ThrottleParameters::Field& NetworkConditions::Field::parameter() const {
    // Every key of the table is one of the protocol's; a test holds it so.
    return *ThrottleParameters::field(parameterKey);
}

std::span<const NetworkConditions::Field> NetworkConditions::fields() {
    return kFields;
}

const NetworkConditions::Field& NetworkConditions::field(Condition condition) {
    return kFields[static_cast<std::size_t>(condition)];
}

bool NetworkConditions::configuresSomething() const {
    for (const Field& field : kFields) {
        if (field.isSet(*this)) {
            return true;
        }
    }
    return false;
}

bool NetworkConditions::hasAdvancedConditions() const {
    for (const Field& field : kFields) {
        if (field.advanced && field.isSet(*this)) {
            return true;
        }
    }
    return false;
}

bool NetworkConditions::blocksAllTraffic() const {
    return packetLossPercent.value_or(0.0) >= 100.0;
}

std::optional<ThrottleParameters> NetworkConditions::toParameters(QString& failure) const {
    ThrottleParameters parameters;
    for (const Field& field : kFields) {
        const ThrottleParameters::Field& wire = field.parameter();
        if (field.bandwidth != nullptr) {
            const std::optional<Bandwidth>& bandwidth = this->*field.bandwidth;
            const std::optional<std::int64_t> bytes =
                bandwidth ? bandwidth->bytesPerSecond() : std::optional<std::int64_t>(0);
            if (!bytes) {
                failure = QString::fromLatin1(wire.name) + QStringLiteral(" is too large");
                return std::nullopt;
            }
            parameters.*wire.integer = *bytes;
        } else if (field.milliseconds != nullptr) {
            parameters.*wire.integer = (this->*field.milliseconds).value_or(0);
        } else {
            parameters.*wire.real = (this->*field.percent).value_or(0.0);
        }
    }
    return parameters;
}

NetworkConditions NetworkConditions::fromParameters(const ThrottleParameters& parameters) {
    NetworkConditions conditions;
    for (const Field& field : kFields) {
        const ThrottleParameters::Field& wire = field.parameter();
        if (field.bandwidth != nullptr) {
            conditions.*field.bandwidth = Bandwidth::fromBytesPerSecond(parameters.*wire.integer);
        } else if (field.milliseconds != nullptr) {
            const std::int64_t value = parameters.*wire.integer;
            conditions.*field.milliseconds =
                value > 0 ? std::optional<std::int64_t>(value) : std::nullopt;
        } else {
            const double value = parameters.*wire.real;
            conditions.*field.percent = value > 0.0 ? std::optional<double>(value) : std::nullopt;
        }
    }
    return conditions;
}

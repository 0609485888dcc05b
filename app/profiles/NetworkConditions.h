// SPDX-License-Identifier: MIT
#pragma once

#include "Bandwidth.h"
#include "ThrottleParameters.h"

#include <QLatin1StringView>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// Each condition a profile may set, in the order the editor lists them and
// reports their faults.
enum class Condition {
    download,
    upload,
    latency,
    packetLoss,
    dnsDelay,
    jitter,
    lossCorrelation,
    reorder,
    duplicate,
};
inline constexpr std::size_t kConditionCount = 9;

// The conditions of a profile, each of which may be left out; a present zero
// is a configured value, not an absent one. Copied whole wherever a profile's
// conditions go, so a field added here cannot be dropped by a copy that
// lists the fields it knows.
struct NetworkConditions {
    std::optional<Bandwidth> downloadBandwidth;
    std::optional<Bandwidth> uploadBandwidth;
    // Milliseconds, shared out over the two directions.
    std::optional<std::int64_t> latency;
    // Percent of arriving packets dropped.
    std::optional<double> packetLossPercent;
    // Milliseconds; carried and checked, shapes no traffic.
    std::optional<std::int64_t> dnsDelay;
    // Milliseconds either way around the latency, at most the latency.
    std::optional<std::int64_t> jitter;
    // Percent, at most 99: losses come in runs. The packet after a lost one
    // is lost with the loss's chance plus this share of the rest (0 leaves
    // losses independent).
    std::optional<double> packetLossCorrelationPercent;
    // Percent of arriving packets sent ahead of the others.
    std::optional<double> reorderPercent;
    // Percent of arriving packets delivered twice.
    std::optional<double> duplicatePercent;

    // How one condition is stored, named, shown and sent. Every layer
    // between the profile and the helper goes over this one list.
    struct Field {
        Condition condition;
        // Its key in a stored profile.
        QLatin1StringView storedKey;
        // "Loss Correlation": the editor's label, and how the editor's list of
        // faults names it.
        const char* title;
        // "Loss correlation": the subject of its own messages.
        const char* subject;
        // One line under the label, for the conditions of the editor's
        // Advanced section.
        const char* hint;
        // Exactly one is set: a bandwidth with its unit, whole
        // milliseconds, or a percentage.
        std::optional<Bandwidth> NetworkConditions::*bandwidth;
        std::optional<std::int64_t> NetworkConditions::*milliseconds;
        std::optional<double> NetworkConditions::*percent;
        // The helper's parameter it becomes.
        const char* parameterKey;
        // Typed in the editor's Advanced section, without a switch.
        bool advanced;

        // Present and asking for something. A present bandwidth, latency or
        // DNS delay counts even at zero; a percentage, or a condition of the
        // Advanced section, only above zero.
        bool isSet(const NetworkConditions& conditions) const;
        const ThrottleParameters::Field& parameter() const;
    };
    static std::span<const Field> fields();
    static const Field& field(Condition condition);

    // Whether the profile asks for anything at all.
    bool configuresSomething() const;
    // Whether a condition of the editor's Advanced section is set.
    bool hasAdvancedConditions() const;
    // Nothing gets through: asked for with a confirmation first.
    bool blocksAllTraffic() const;

    // In the helper's units, absent conditions as zero. Nothing, and why in
    // `failure`, for a bandwidth whose bytes per second do not fit the wire.
    std::optional<ThrottleParameters> toParameters(QString& failure) const;
    // What the helper says is in force, as a profile would say it: zero is
    // absent, bandwidths in the largest whole unit.
    static NetworkConditions fromParameters(const ThrottleParameters& parameters);

    bool operator==(const NetworkConditions&) const = default;
};

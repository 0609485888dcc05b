// SPDX-License-Identifier: MIT
#pragma once

#include "BandwidthUnit.h"

#include <QJsonObject>
#include <QJsonValue>

#include <cstdint>
#include <optional>

// A bandwidth limit as the user gave it: a count of units, not yet converted.
struct Bandwidth {
    std::int64_t value = 0;
    BandwidthUnit unit = BandwidthUnit::mbps;

    // In the helper's bytes per second: decimal kilo and mega, then bits to
    // bytes with the remainder dropped. Nothing when that does not fit 64
    // signed bits (a stored value of any size times a million).
    std::optional<std::int64_t> bytesPerSecond() const;
    // The helper's bytes per second in the unit a profile would give: whole
    // megabits where they are whole, otherwise kilobits. Nothing for none.
    static std::optional<Bandwidth> fromBytesPerSecond(std::int64_t bytesPerSecond);

    QJsonObject toJson() const;
    // Both keys are required and "unit" must be a known raw value.
    static std::optional<Bandwidth> fromJson(const QJsonValue& json);

    bool operator==(const Bandwidth&) const = default;
};

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

    QJsonObject toJson() const;
    // Both keys are required and "unit" must be a known raw value.
    static std::optional<Bandwidth> fromJson(const QJsonValue& json);

    bool operator==(const Bandwidth&) const = default;
};

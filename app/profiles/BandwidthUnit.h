// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

enum class BandwidthUnit { kbps, mbps };

namespace BandwidthUnits {

// The editor's unit pickers list the units in this order.
inline constexpr std::array<BandwidthUnit, 2> allCases{BandwidthUnit::kbps, BandwidthUnit::mbps};

// Lower case: the form stored in JSON.
QString rawValue(BandwidthUnit unit);
// Capitalised: the form shown to the user.
QString displaySuffix(BandwidthUnit unit);
// Decimal multipliers, as network speeds are quoted.
std::int64_t bitsPerSecondPerUnit(BandwidthUnit unit);
std::optional<BandwidthUnit> fromRawValue(const QString& raw);

} // namespace BandwidthUnits

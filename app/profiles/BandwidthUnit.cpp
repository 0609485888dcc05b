// SPDX-License-Identifier: MIT
#include "BandwidthUnit.h"

namespace BandwidthUnits {

QString rawValue(BandwidthUnit unit) {
    return unit == BandwidthUnit::kbps ? QStringLiteral("kbps") : QStringLiteral("mbps");
}

QString displaySuffix(BandwidthUnit unit) {
    return unit == BandwidthUnit::kbps ? QStringLiteral("Kbps") : QStringLiteral("Mbps");
}

std::int64_t bitsPerSecondPerUnit(BandwidthUnit unit) {
    return unit == BandwidthUnit::kbps ? 1'000 : 1'000'000;
}

std::optional<BandwidthUnit> fromRawValue(const QString& raw) {
    for (const BandwidthUnit unit : allCases) {
        if (raw == rawValue(unit)) {
            return unit;
        }
    }
    return std::nullopt;
}

} // namespace BandwidthUnits

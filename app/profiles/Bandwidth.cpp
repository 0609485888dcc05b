// SPDX-License-Identifier: MIT
#include "Bandwidth.h"

#include "JsonNumbers.h"

#include <limits>

std::optional<std::int64_t> Bandwidth::bytesPerSecond() const {
    // Formed in 128 bits: the product can leave the 64-bit range long before
    // the division brings it back.
    const __int128 bytes =
        (static_cast<__int128>(value) * BandwidthUnits::bitsPerSecondPerUnit(unit)) >> 3;
    if (bytes > std::numeric_limits<std::int64_t>::max() ||
        bytes < std::numeric_limits<std::int64_t>::min()) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(bytes);
}

std::optional<Bandwidth> Bandwidth::fromBytesPerSecond(std::int64_t bytesPerSecond) {
    if (bytesPerSecond <= 0) {
        return std::nullopt;
    }
    const __int128 bits = static_cast<__int128>(bytesPerSecond) * 8;
    const std::int64_t perMegabit = BandwidthUnits::bitsPerSecondPerUnit(BandwidthUnit::mbps);
    if (bits % perMegabit == 0) {
        return Bandwidth{static_cast<std::int64_t>(bits / perMegabit), BandwidthUnit::mbps};
    }
    return Bandwidth{
        static_cast<std::int64_t>(bits / BandwidthUnits::bitsPerSecondPerUnit(BandwidthUnit::kbps)),
        BandwidthUnit::kbps};
}

QJsonObject Bandwidth::toJson() const {
    return QJsonObject{{QStringLiteral("value"), QJsonValue(static_cast<qint64>(value))},
                       {QStringLiteral("unit"), BandwidthUnits::rawValue(unit)}};
}

std::optional<Bandwidth> Bandwidth::fromJson(const QJsonValue& json) {
    if (!json.isObject()) {
        return std::nullopt;
    }
    const QJsonObject object = json.toObject();
    const std::optional<std::int64_t> value = JsonNumbers::integer(object.value(u"value"));
    const QJsonValue unitValue = object.value(u"unit");
    if (!value || !unitValue.isString()) {
        return std::nullopt;
    }
    const std::optional<BandwidthUnit> unit = BandwidthUnits::fromRawValue(unitValue.toString());
    if (!unit) {
        return std::nullopt;
    }
    return Bandwidth{*value, *unit};
}

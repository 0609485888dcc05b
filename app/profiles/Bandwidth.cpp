// SPDX-License-Identifier: MIT
#include "Bandwidth.h"

#include "JsonNumbers.h"

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

// SPDX-License-Identifier: MIT
#include "JsonNumbers.h"

#include <QVariant>

#include <cmath>

namespace JsonNumbers {

std::optional<std::int64_t> integer(const QJsonValue& value) {
    if (!value.isDouble()) {
        return std::nullopt;
    }
    // The parser keeps integers that fit in 64 bits exactly; only the others
    // arrive as doubles and need the range and fraction checks.
    const QVariant variant = value.toVariant();
    if (variant.typeId() == QMetaType::LongLong) {
        return variant.toLongLong();
    }
    const double number = value.toDouble();
    constexpr double twoToThe63 = 9223372036854775808.0;
    if (!std::isfinite(number) || number != std::trunc(number) || number < -twoToThe63 ||
        number >= twoToThe63) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(number);
}

} // namespace JsonNumbers

// SPDX-License-Identifier: MIT
#pragma once

#include <QJsonValue>

#include <cstdint>
#include <optional>

namespace JsonNumbers {

// A JSON number without a fractional part that fits in 64 bits; anything else
// (a fraction, a string, a number beyond the range) is rejected, never rounded.
std::optional<std::int64_t> integer(const QJsonValue& value);

} // namespace JsonNumbers

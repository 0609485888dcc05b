// SPDX-License-Identifier: MIT
#include "DecimalFormat.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace {

std::string toChars(double value, std::chars_format format, int precision) {
    // Fixed notation of the largest doubles needs over 300 digits.
    std::vector<char> buffer(512);
    const auto result =
        precision < 0
            ? std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, format)
            : std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, format, precision);
    return std::string(buffer.data(), result.ptr);
}

} // namespace

std::string formatShortestDecimal(double value) {
    if (std::isnan(value)) {
        return "nan";
    }
    if (std::isinf(value)) {
        return value > 0 ? "inf" : "-inf";
    }
    std::string text = toChars(value, std::chars_format::fixed, -1);
    if (text.find('.') == std::string::npos) {
        text += ".0";
    }
    return text;
}

std::string formatSixDecimals(double value) {
    return toChars(value, std::chars_format::fixed, 6);
}

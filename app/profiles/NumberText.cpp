// SPDX-License-Identifier: MIT
#include "NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace NumberText {

namespace {

bool isTrimmable(QChar c) {
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

// from_chars reports a magnitude it cannot hold without a value; decide from
// the decimal order of the text whether it overflowed (infinity) or
// underflowed (zero).
double outOfRangeValue(const std::string& text, bool negative) {
    const size_t exponentAt = text.find_first_of("eE");
    const std::string mantissa = text.substr(0, exponentAt);
    const size_t point = std::min(mantissa.find('.'), mantissa.size());
    const size_t firstNonZero = mantissa.find_first_not_of("0.");
    long long order = 0;
    if (firstNonZero != std::string::npos) {
        order = firstNonZero < point ? static_cast<long long>(point - firstNonZero) - 1
                                     : -static_cast<long long>(firstNonZero - point);
    }
    long long exponent = 0;
    if (exponentAt != std::string::npos) {
        std::string digits = text.substr(exponentAt + 1);
        const bool negativeExponent = digits.starts_with('-');
        if (digits.starts_with('+') || negativeExponent) {
            digits.erase(0, 1);
        }
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), exponent);
        if (error == std::errc::result_out_of_range) {
            exponent = std::numeric_limits<long long>::max() / 2;
        }
        if (negativeExponent) {
            exponent = -exponent;
        }
    }
    const double magnitude = order + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    return negative ? -magnitude : magnitude;
}

} // namespace

QString trimmed(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isTrimmable(text.at(begin))) {
        ++begin;
    }
    while (end > begin && isTrimmable(text.at(end - 1))) {
        --end;
    }
    return text.sliced(begin, end - begin).toString();
}

std::optional<std::int64_t> wholeNumber(QStringView text) {
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'+' || text.front() == u'-')) {
        negative = text.front() == u'-';
        text = text.sliced(1);
    }
    if (text.isEmpty()) {
        return std::nullopt;
    }
    // Accumulate towards the negative side, which holds one more value, so
    // that the smallest 64-bit number is accepted and nothing overflows.
    std::int64_t value = 0;
    constexpr std::int64_t minimum = std::numeric_limits<std::int64_t>::min();
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        const int digit = c.unicode() - u'0';
        if (value < (minimum + digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == minimum) {
            return std::nullopt;
        }
        value = -value;
    }
    return value;
}

std::optional<double> decimalNumber(QStringView text) {
    for (const QChar c : text) {
        if (c.unicode() > 0x7f) {
            return std::nullopt;
        }
    }
    std::string ascii = text.toString().toStdString();
    bool negative = false;
    size_t start = 0;
    if (!ascii.empty() && (ascii.front() == '+' || ascii.front() == '-')) {
        negative = ascii.front() == '-';
        start = 1;
    }
    // from_chars takes no sign of its own beyond '-', so a second sign must
    // be refused here rather than parsed.
    if (start == ascii.size() || ascii[start] == '+' || ascii[start] == '-') {
        return std::nullopt;
    }
    const std::string body = ascii.substr(start);
    double value = 0;
    const auto [end, error] = std::from_chars(body.data(), body.data() + body.size(), value);
    if (end != body.data() + body.size() ||
        (error != std::errc() && error != std::errc::result_out_of_range)) {
        return std::nullopt;
    }
    if (error == std::errc::result_out_of_range) {
        return outOfRangeValue(body, negative);
    }
    return negative ? -value : value;
}

double roundedToSteps(double value, std::int64_t stepsPerUnit) {
    const auto steps = static_cast<double>(stepsPerUnit);
    return std::round(value * steps) / steps;
}

QString shortestDecimalText(double value) {
    // Without an exponent down to 0.0001, the finest loss a profile keeps,
    // which must not show as "1e-04"; smaller figures (only a file written
    // elsewhere holds them) keep the exponent rather than hundreds of zeros.
    char buffer[512];
    const bool fixed = std::abs(value) >= 1e-4 && std::abs(value) < 1e21;
    const auto result =
        fixed ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed)
              : std::to_chars(buffer, buffer + sizeof buffer, value);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    if (!text.contains(u'.') && !text.contains(u'e') && !text.contains(u"inf") &&
        !text.contains(u"nan")) {
        text += u".0";
    }
    return text;
}

} // namespace NumberText

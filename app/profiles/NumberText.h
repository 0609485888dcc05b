// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

// The rules by which typed text becomes a number. They are stricter than
// QString's conversions, which skip white space and accept locale forms.
namespace NumberText {

// Strips Unicode space separators and horizontal tabs from both ends; line
// breaks are kept, so a name typed with one still shows it.
QString trimmed(QStringView text);

// An optional sign and ASCII digits only; a value beyond 64 bits is not a number.
std::optional<std::int64_t> wholeNumber(QStringView text);

// A floating-point text in the C library's decimal form (sign, digits, point,
// exponent, "inf", "nan") with nothing left over and no leading white space.
std::optional<double> decimalNumber(QStringView text);

// The value in whole steps of 1/stepsPerUnit: the double nearest to that
// decimal, whose shortest text has no more digits than the step.
double roundedToSteps(double value, std::int64_t stepsPerUnit);

// The shortest text that reads back as the same value, always with a
// decimal point: 1 becomes "1.0", 2.5 stays "2.5", 0.0001 stays "0.0001".
QString shortestDecimalText(double value);

} // namespace NumberText

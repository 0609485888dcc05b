// SPDX-License-Identifier: MIT
#pragma once

#include <string>

// The shortest decimal text that reads back as the same double, never in
// exponent form and always with a digit after the point: 5 gives "5.0",
// 0.0000001 gives "0.0000001". Non-finite values give "nan", "inf", "-inf".
std::string formatShortestDecimal(double value);

// Exactly six digits after the point, independent of the C locale.
std::string formatSixDecimals(double value);

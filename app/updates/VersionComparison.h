// SPDX-License-Identifier: MIT
#pragma once

#include <QStringView>

#include <compare>

// Orders versions the way people read them. Runs of digits compare as numbers
// (1.10 > 1.9), runs of letters as text ignoring case (1.0b2 > 1.0a9), and
// anything else only separates runs. Missing numbers count as zero
// (1.0 == 1.0.0, 1.0.1 > 1.0); a version that goes on with letters where the
// other ends is a pre-release of it (1.0b1 < 1.0).
std::strong_ordering compareVersions(QStringView left, QStringView right);

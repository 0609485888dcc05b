// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleProfile.h"

#include <QList>
#include <QString>

// The small statistics of a profile row: one chip per condition that
// actually throttles, in a fixed order. The kind picks the chip's tint.
struct ProfileStatChip {
    QString kind;
    QString symbol;
    QString value;

    bool operator==(const ProfileStatChip&) const = default;
};

namespace ProfileStatChips {

QList<ProfileStatChip> of(const ThrottleProfile& profile);

} // namespace ProfileStatChips

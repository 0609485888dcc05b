// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleError.h"
#include "ThrottleProfile.h"

#include <QDateTime>

#include <optional>

// What every view reads about throttling: a plain value, compared field by
// field.
struct ThrottleState {
    // Active through this service.
    bool isEnabled = false;
    // Applied right now; absent while disabled.
    std::optional<ThrottleProfile> currentProfile;
    // The user's choice, kept while disabled and applied when switched on.
    std::optional<ThrottleProfile> selectedProfile;
    // The last failure of an apply or remove; the next success clears it.
    std::optional<ThrottleError> error;
    std::optional<QDateTime> enabledAt;
    // The helper daemon is registered and enabled.
    bool isHelperReady = false;

    bool operator==(const ThrottleState&) const = default;
};

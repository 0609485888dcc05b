// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleProfile.h"

#include <stdexcept>

// A built-in profile by name.
inline ThrottleProfile preset(const QString& name) {
    for (const ThrottleProfile& profile : ThrottleProfile::Preset::profiles()) {
        if (profile.name == name) {
            return profile;
        }
    }
    throw std::logic_error("no preset " + name.toStdString());
}

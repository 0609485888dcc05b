// SPDX-License-Identifier: MIT
#pragma once

#include "ServiceRegistration.h"
#include "ThrottleParameters.h"
#include "ThrottleProfile.h"
#include "ThrottleSchedule.h"

#include <optional>

// What a client checks before it asks the helper to switch a profile on, so
// that a request the helper would refuse is refused before anything is
// sent. The application and veltranectl ask the same.
namespace ApplyPreconditions {

// The profile in the helper's units, when it asks for something (its own
// conditions or a schedule), the daemon is registered and enabled, and every
// bandwidth fits the wire. Throws ThrottleError: invalidProfile or
// helperNotInstalled.
ThrottleParameters parametersToApply(const ThrottleProfile& profile,
                                     const ServiceRegistration& registration);

// The profile's schedule in the helper's units; empty for a profile without
// one. Throws ThrottleError::invalidProfile naming the phase that does not
// fit the wire.
ThrottleSchedule scheduleToApply(const ThrottleProfile& profile);

// The profile in the helper's units; nothing for one that could never be
// sent, and so runs nowhere.
std::optional<ThrottleParameters> parametersOf(const ThrottleProfile& profile);

} // namespace ApplyPreconditions

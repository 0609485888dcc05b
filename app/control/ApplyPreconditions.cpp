// SPDX-License-Identifier: MIT
#include "ApplyPreconditions.h"

#include "ThrottleError.h"

namespace ApplyPreconditions {

ThrottleParameters parametersToApply(const ThrottleProfile& profile,
                                     const ServiceRegistration& registration) {
    if (!profile.conditions.configuresSomething()) {
        throw ThrottleError::invalidProfile(
            QStringLiteral("Profile must have at least one throttling parameter configured"));
    }
    if (registration.daemonStatus() != ServiceStatus::enabled) {
        throw ThrottleError::helperNotInstalled();
    }
    QString failure;
    const std::optional<ThrottleParameters> parameters = profile.conditions.toParameters(failure);
    if (!parameters) {
        throw ThrottleError::invalidProfile(failure);
    }
    return *parameters;
}

std::optional<ThrottleParameters> parametersOf(const ThrottleProfile& profile) {
    QString failure;
    return profile.conditions.toParameters(failure);
}

} // namespace ApplyPreconditions

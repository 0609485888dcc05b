// SPDX-License-Identifier: MIT
#include "ApplyPreconditions.h"

#include "ThrottleError.h"

namespace ApplyPreconditions {

ThrottleParameters parametersToApply(const ThrottleProfile& profile,
                                     const ServiceRegistration& registration) {
    if (!profile.conditions.configuresSomething() && profile.schedule.empty()) {
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

ThrottleSchedule scheduleToApply(const ThrottleProfile& profile) {
    QString failure;
    std::optional<ThrottleSchedule> schedule = profile.schedule.toSchedule(failure);
    if (!schedule) {
        throw ThrottleError::invalidProfile(failure);
    }
    return *std::move(schedule);
}

std::optional<ThrottleParameters> parametersOf(const ThrottleProfile& profile) {
    QString failure;
    return profile.conditions.toParameters(failure);
}

} // namespace ApplyPreconditions

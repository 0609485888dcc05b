// SPDX-License-Identifier: MIT
#include "ThrottleStateFollower.h"

#include <utility>

ThrottleStateFollower::ThrottleStateFollower(const ServiceRegistration& registration,
                                             RunningProfileRecognizer& runningProfile, Clock clock)
    : m_registration(registration)
    , m_runningProfile(runningProfile)
    , m_clock(std::move(clock)) {}

std::optional<ThrottleStateFollower::Followed>
ThrottleStateFollower::follow(const ThrottleState& current, const HelperState& helper,
                              bool applying, bool hidingOff) {
    // A helper that left the bus may come back with its throttling (held
    // throttling survives a restart): the next state says.
    if (!helper.available) {
        m_helperWasGone = true;
        return std::nullopt;
    }
    // A helper that came back onto the bus may have been installed meanwhile.
    const bool appeared = std::exchange(m_helperWasGone, false);
    m_helperState = helper;
    if (hidingOff && !helper.active) {
        return std::nullopt;
    }
    Followed followed{current};
    ThrottleState& next = followed.state;
    if (appeared) {
        next.isHelperReady = m_registration.daemonStatus() == ServiceStatus::enabled;
    }
    next.cleanupFailure = helper.failure;
    if (!helper.active) {
        m_runningProfile.forgetOwn();
        next.isEnabled = false;
        next.currentProfile.reset();
        next.enabledAt.reset();
        next.owner.reset();
        next.throttles.clear();
        return followed;
    }
    next.isEnabled = true;
    next.owner = helper.owner;
    next.throttles = helper.throttles;
    // The helper names one owner; this client's own throttle beside a newer
    // one of another client still runs this client's profile. Its throttles
    // of one application or command run profiles of their own.
    std::optional<ThrottleParameters> ownConfiguration;
    const auto ownMain = [](const HelperThrottle& throttle) {
        return throttle.owner.isThisClient && !standsBeside(throttle.scope);
    };
    if (helper.throttles.isEmpty() && helper.isOwnedByThisClient()) {
        ownConfiguration = helper.configuration;
    }
    // The whole machine's when it runs, as the helper names it, else the newest.
    bool machine = false;
    for (const HelperThrottle& throttle : helper.throttles) {
        if (ownMain(throttle) && !machine) {
            ownConfiguration = throttle.configuration;
            machine = throttle.scope.isMachine();
        }
    }
    if (ownConfiguration) {
        if (m_runningProfile.recogniseLateSwitchOn(ownConfiguration)) {
            // An enable whose answer never came was carried out after all.
            followed.landedLate = !applying;
            next.selectedProfile = m_runningProfile.ownProfile();
            next.error.reset();
        }
        next.currentProfile = m_runningProfile.ownProfileRunning(ownConfiguration);
        if (!current.isOwnedByThisApplication() || !current.enabledAt) {
            next.enabledAt = m_clock();
        }
    } else {
        next.currentProfile = m_runningProfile.onlyProfileWith(helper.configuration);
        if (!current.isEnabled || current.owner != helper.owner || !current.enabledAt) {
            const bool known = helper.owner && helper.owner->since.isValid();
            next.enabledAt = known ? helper.owner->since : m_clock();
        }
    }
    return followed;
}

ThrottleState ThrottleStateFollower::switchedOn(ThrottleState current,
                                                const ThrottleProfile& profile,
                                                const QString& description, bool held) const {
    current.isEnabled = true;
    current.currentProfile = profile;
    current.selectedProfile = profile;
    current.enabledAt = m_clock();
    current.error.reset();
    if (!current.isOwnedByThisApplication()) {
        ThrottleOwner owner;
        owner.description = description;
        owner.since = *current.enabledAt;
        owner.held = held;
        owner.isThisClient = true;
        current.owner = owner;
    }
    return current;
}

ThrottleState ThrottleStateFollower::switchedOff(ThrottleState current) {
    current.isEnabled = false;
    current.currentProfile.reset();
    current.enabledAt.reset();
    current.owner.reset();
    current.throttles.clear();
    current.error.reset();
    return current;
}

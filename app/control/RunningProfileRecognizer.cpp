// SPDX-License-Identifier: MIT
#include "RunningProfileRecognizer.h"

#include "ApplyPreconditions.h"

#include <utility>

using ApplyPreconditions::parametersOf;

void RunningProfileRecognizer::switchedOn(const ThrottleProfile& profile,
                                          const ThrottleParameters& parameters) {
    if (m_unconfirmed == profile) {
        m_unconfirmed.reset();
    }
    m_ownProfile = profile;
    m_ownParameters = parameters;
}

void RunningProfileRecognizer::forgetOwn() {
    m_ownProfile.reset();
    m_ownParameters.reset();
}

void RunningProfileRecognizer::forgetAll() {
    m_unconfirmed.reset();
    forgetOwn();
}

bool RunningProfileRecognizer::recogniseLateSwitchOn(
    const std::optional<ThrottleParameters>& running) {
    if (!m_unconfirmed || !running || parametersOf(*m_unconfirmed) != running) {
        return false;
    }
    m_ownProfile = std::exchange(m_unconfirmed, std::nullopt);
    m_ownParameters = running;
    return true;
}

std::optional<ThrottleProfile> RunningProfileRecognizer::ownProfileRunning(
    const std::optional<ThrottleParameters>& running) const {
    if (m_ownParameters && (!running || running == m_ownParameters)) {
        return m_ownProfile;
    }
    return onlyProfileWith(running);
}

std::optional<ThrottleProfile>
RunningProfileRecognizer::onlyProfileWith(const std::optional<ThrottleParameters>& running) const {
    if (!running || !m_profiles) {
        return std::nullopt;
    }
    std::optional<ThrottleProfile> found;
    for (const ThrottleProfile& profile : m_profiles->allProfiles()) {
        if (parametersOf(profile) == running) {
            if (found) {
                return std::nullopt;
            }
            found = profile;
        }
    }
    return found;
}

ThrottleState RunningProfileRecognizer::afterProfilesChanged(
    ThrottleState state, const std::optional<ThrottleParameters>& helperConfiguration) {
    forgetIfDeleted(m_ownProfile);
    forgetIfDeleted(m_unconfirmed);
    forgetIfDeleted(state.selectedProfile);
    forgetIfDeleted(state.currentProfile);
    if (state.isEnabled && !state.isOwnedByThisApplication()) {
        state.currentProfile = onlyProfileWith(helperConfiguration);
    }
    return state;
}

void RunningProfileRecognizer::forgetIfDeleted(std::optional<ThrottleProfile>& profile) const {
    if (profile && m_profiles && !m_profiles->profile(profile->id()).has_value()) {
        profile.reset();
    }
}

// SPDX-License-Identifier: MIT
#pragma once

#include "ProfileManager.h"
#include "ThrottleParameters.h"
#include "ThrottleProfile.h"
#include "ThrottleState.h"

#include <QPointer>

#include <optional>

// Names the profile that runs: this service's own, as it last switched it
// on, or the one profile whose conditions equal another client's. It
// remembers what this service switched on, and a switch-on sent but not
// answered, which the helper may still carry out. A profile deleted from the
// store is forgotten; its conditions may still run.
class RunningProfileRecognizer final {
public:
    // The profiles that another client's throttling is recognised by; none
    // until given.
    void setProfiles(ProfileManager& profiles) { m_profiles = &profiles; }

    // A switch-on of `profile` has been sent; kept after a failure too: an
    // enable whose answer was lost may still land.
    void switchOnSent(const ThrottleProfile& profile) { m_unconfirmed = profile; }
    // The helper carried out this service's switch-on of `profile`.
    void switchedOn(const ThrottleProfile& profile, const ThrottleParameters& parameters);
    // Nothing of this service's runs any more; a switch-on still unanswered
    // may yet land.
    void forgetOwn();
    // This service switched throttling off: an enable still in flight lands
    // before the disable, so nothing of its can run after it.
    void forgetAll();
    // Whether the unanswered switch-on is what runs now as this client's:
    // then it is this service's own from now on.
    bool recogniseLateSwitchOn(const std::optional<ThrottleParameters>& running);

    const std::optional<ThrottleProfile>& ownProfile() const { return m_ownProfile; }
    const std::optional<ThrottleParameters>& ownParameters() const { return m_ownParameters; }

    // This service's own profile while its conditions run, or else as
    // onlyProfileWith().
    std::optional<ThrottleProfile>
    ownProfileRunning(const std::optional<ThrottleParameters>& running) const;
    // The one known profile with these conditions; none when two have them.
    std::optional<ThrottleProfile>
    onlyProfileWith(const std::optional<ThrottleParameters>& running) const;

    // `state` after the profiles changed: deleted profiles lose their place
    // in it, and another client's throttling (running `helperConfiguration`)
    // is recognised again.
    ThrottleState
    afterProfilesChanged(ThrottleState state,
                         const std::optional<ThrottleParameters>& helperConfiguration);

private:
    void forgetIfDeleted(std::optional<ThrottleProfile>& profile) const;

    QPointer<ProfileManager> m_profiles;
    // What this service last switched on, for recognising it in the
    // helper's state and taking it back after a reconnect.
    std::optional<ThrottleProfile> m_ownProfile;
    std::optional<ThrottleParameters> m_ownParameters;
    // A switch-on that got no answer (yet): the helper may still carry it out.
    std::optional<ThrottleProfile> m_unconfirmed;
};

// SPDX-License-Identifier: MIT
#pragma once

#include "HelperState.h"
#include "RunningProfileRecognizer.h"
#include "ServiceRegistration.h"
#include "ThrottleState.h"

#include <QDateTime>

#include <functional>
#include <optional>

// Carries each state the helper publishes, whoever changed it, into the
// ThrottleState the views read: on or off, its owner and since when, the
// profile that runs, a clean-up that failed, and the helper's readiness
// when it comes back onto the bus.
class ThrottleStateFollower final {
public:
    using Clock = std::function<QDateTime()>;

    // The state after one the helper published, and whether a switch-on of
    // this service's that got no answer turned out carried out: that one is
    // announced like any other, so its auto-disable run starts.
    struct Followed {
        ThrottleState state;
        bool landedLate = false;
    };

    ThrottleStateFollower(const ServiceRegistration& registration,
                          RunningProfileRecognizer& runningProfile, Clock clock);

    // The last state the helper published while it was there.
    const HelperState& helperState() const { return m_helperState; }

    // What `current` becomes with `helper`; nothing when it says nothing of
    // the network (the helper left the bus), or when it is off while
    // `hidingOff` (this service is taking its throttling back). A switch-on
    // still `applying` announces itself.
    // `current` once this client's switch-on of `profile` was answered; the
    // helper's own word on the owner may come after its answer.
    ThrottleState switchedOn(ThrottleState current, const ThrottleProfile& profile,
                             const QString& description, bool held) const;
    // `current` once this client switched everything off.
    static ThrottleState switchedOff(ThrottleState current);
    std::optional<Followed> follow(const ThrottleState& current, const HelperState& helper,
                                   bool applying, bool hidingOff);

private:
    const ServiceRegistration& m_registration;
    RunningProfileRecognizer& m_runningProfile;
    Clock m_clock;
    HelperState m_helperState;
    // The helper left the bus, or could not be asked, since its last state.
    bool m_helperWasGone = false;
};

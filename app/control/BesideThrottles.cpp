// SPDX-License-Identifier: MIT
#include "BesideThrottles.h"

#include <utility>

void BesideThrottles::record(quint64 id, BesideThrottle throttle) {
    // 0, from a helper that numbers nothing, names no throttle to end.
    if (id != 0) {
        m_throttles.insert_or_assign(id, std::move(throttle));
    }
}

void BesideThrottles::forgetEnded(const OwnThrottles& own) {
    std::erase_if(m_throttles, [&own](const auto& entry) { return !own.contains(entry.first); });
}

std::map<quint64, BesideThrottle> BesideThrottles::takeUnheld() {
    std::map<quint64, BesideThrottle> lost;
    for (auto it = m_throttles.begin(); it != m_throttles.end();) {
        if (it->second.held) {
            ++it;
        } else {
            lost.insert(m_throttles.extract(it++));
        }
    }
    return lost;
}

ThrottleState BesideThrottles::describedIn(ThrottleState state) const {
    state.besideProfiles.clear();
    state.launchedCommands.clear();
    for (const auto& [id, throttle] : m_throttles) {
        state.besideProfiles.insert(id, throttle.profile.name);
        if (!throttle.commandLine.isEmpty()) {
            state.launchedCommands.insert(id, throttle.commandLine);
        }
    }
    return state;
}

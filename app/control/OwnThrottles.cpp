// SPDX-License-Identifier: MIT
#include "OwnThrottles.h"

#include <algorithm>

bool OwnThrottles::contains(quint64 id) const {
    return std::find(m_ids.begin(), m_ids.end(), id) != m_ids.end();
}

void OwnThrottles::started(quint64 id) {
    if (id != 0 && !contains(id)) {
        m_ids.push_back(id);
    }
}

void OwnThrottles::forget(quint64 id) {
    std::erase(m_ids, id);
}

void OwnThrottles::follow(const HelperState& state) {
    std::erase_if(m_ids, [&state](quint64 id) {
        return std::none_of(state.throttles.begin(), state.throttles.end(),
                            [id](const HelperThrottle& throttle) { return throttle.id == id; });
    });
    for (const HelperThrottle& throttle : state.throttles) {
        if (throttle.owner.isThisClient) {
            started(throttle.id);
        }
    }
}

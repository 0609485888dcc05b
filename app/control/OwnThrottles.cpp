// SPDX-License-Identifier: MIT
#include "OwnThrottles.h"

#include <algorithm>
#include <iterator>

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

std::vector<quint64> OwnThrottles::replacedBy(bool scoped, const QList<HelperThrottle>& listed,
                                              const std::function<bool(quint64)>& beside) const {
    std::vector<quint64> ids;
    for (const quint64 id : m_ids) {
        const auto listedAs = [&listed, id](auto kind) {
            return std::any_of(listed.begin(), listed.end(), [id, kind](const HelperThrottle& t) {
                return t.id == id && kind(t.scope);
            });
        };
        const bool replacedAnyway =
            !scoped && listedAs([](const ThrottleScope& scope) { return scope.isMachine(); });
        if (!replacedAnyway && !beside(id) && !listedAs(&standsBeside)) {
            ids.push_back(id);
        }
    }
    return ids;
}

std::vector<quint64> OwnThrottles::ofApplication(const QList<HelperThrottle>& listed,
                                                 const std::string& desktopId) const {
    std::vector<quint64> ids;
    for (const HelperThrottle& throttle : listed) {
        if (contains(throttle.id) && throttle.scope.application == desktopId) {
            ids.push_back(throttle.id);
        }
    }
    return ids;
}

std::vector<quint64> OwnThrottles::except(const std::vector<quint64>& asked) const {
    std::vector<quint64> ids;
    std::copy_if(m_ids.begin(), m_ids.end(), std::back_inserter(ids), [&asked](quint64 id) {
        return std::find(asked.begin(), asked.end(), id) == asked.end();
    });
    return ids;
}

bool OwnThrottles::listsMain(const QList<HelperThrottle>& listed) const {
    return std::any_of(listed.begin(), listed.end(), [this](const HelperThrottle& t) {
        return contains(t.id) && !standsBeside(t.scope);
    });
}

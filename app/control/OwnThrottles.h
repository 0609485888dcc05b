// SPDX-License-Identifier: MIT
#pragma once

#include "HelperState.h"
#include "ThrottleState.h"

#include <QtGlobal>

#include <functional>
#include <string>
#include <vector>

// The throttles this application switched on, by the ids the helper gave
// them: what its own endings end, and never another client's. An id is
// known from its switch-on's answer, or from a state of the helper's that
// lists it as this client's, whichever comes first: an answer may be lost
// while the switch-on still lands. It is forgotten once a state published
// after that no longer lists it, as after a helper restart that did not
// bring it back, so that no ending ever sends a stale id.
class OwnThrottles final {
public:
    const std::vector<quint64>& ids() const { return m_ids; }
    bool isEmpty() const { return m_ids.empty(); }
    bool contains(quint64 id) const;

    // A switch-on of this application's was answered with `id`; 0, from a
    // helper that numbers nothing, is no throttle to end.
    void started(quint64 id);
    void forget(quint64 id);
    void forgetAll() { m_ids.clear(); }
    // The helper published `state`, newer than every state before it: the
    // helper publishes before it answers, so it is newer than every id
    // known so far too.
    void follow(const HelperState& state);

    // Those that a switch-on of the whole machine's throttle (or, when
    // `scoped`, of some destinations') replaces, of the throttles `listed`:
    // every own one but those the helper replaces itself (the whole
    // machine's with the whole machine's) and those of one application or
    // command, which run beside (`beside` knows them by id, their kind
    // tells them where the answer was lost).
    std::vector<quint64> replacedBy(bool scoped, const QList<HelperThrottle>& listed,
                                    const std::function<bool(quint64)>& beside) const;
    // The own ids not among `asked`.
    std::vector<quint64> except(const std::vector<quint64>& asked) const;
    // An own throttle of the whole machine or of destinations is among
    // those `listed`.
    bool listsMain(const QList<HelperThrottle>& listed) const;
    // The own throttle of the application `desktopId`, of those `listed`.
    std::vector<quint64> ofApplication(const QList<HelperThrottle>& listed,
                                       const std::string& desktopId) const;

private:
    std::vector<quint64> m_ids;
};

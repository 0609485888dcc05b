// SPDX-License-Identifier: MIT
#pragma once

#include "OwnThrottles.h"
#include "ThrottleProfile.h"
#include "ThrottleState.h"

#include <QMap>
#include <QString>

#include <map>

// A throttle of one application or one command that this application
// switched on beside its own, as it was sent: what its row is named by,
// and what a reconnect sends again.
struct BesideThrottle {
    ThrottleProfile profile;
    ThrottleParameters parameters;
    ThrottleScope scope;
    ThrottleSchedule schedule;
    // Held by the connection: the helper keeps it through a reconnect.
    bool held = false;
    // What was launched in a command's scope.
    QString commandLine;
};

// This application's beside throttles by the ids the helper gave them,
// forgotten with the ids its own endings and the helper's state forget.
class BesideThrottles final {
public:
    bool contains(quint64 id) const { return m_throttles.contains(id); }
    void record(quint64 id, BesideThrottle throttle);
    // Those whose ids `own` no longer knows.
    void forgetEnded(const OwnThrottles& own);
    void forgetAll() { m_throttles.clear(); }
    // What a lost connection took with it: the unheld ones, forgotten here.
    std::map<quint64, BesideThrottle> takeUnheld();

    // `state` naming each throttle's profile and command line by its id.
    ThrottleState describedIn(ThrottleState state) const;

private:
    std::map<quint64, BesideThrottle> m_throttles;
};

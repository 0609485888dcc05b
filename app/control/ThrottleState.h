// SPDX-License-Identifier: MIT
#pragma once

#include "HelperState.h"
#include "ThrottleError.h"
#include "ThrottleProfile.h"

#include <QDateTime>
#include <QMap>
#include <QString>

#include <algorithm>
#include <optional>
#include <vector>

// What every view reads about throttling: a plain value, compared field by
// field. It follows the helper, whoever switched throttling on.
struct ThrottleState {
    // The owner the application names itself by in the helper.
    static inline const QString applicationOwner = QStringLiteral("Veltrane");

    // The helper reports throttling active.
    bool isEnabled = false;
    // Running right now: this application's own profile, or the one profile
    // whose conditions equal another client's; absent while disabled and
    // when no single profile matches.
    std::optional<ThrottleProfile> currentProfile;
    // The user's choice, kept while disabled and applied when switched on.
    std::optional<ThrottleProfile> selectedProfile;
    // The last failure of an apply or remove; the next success clears it.
    std::optional<ThrottleError> error;
    std::optional<QDateTime> enabledAt;
    // The helper daemon is registered and enabled.
    bool isHelperReady = false;
    // Who switched the running throttling on; absent while disabled and for
    // clients that do not say.
    std::optional<ThrottleOwner> owner;
    // What the helper's last clean-up could not remove; empty when it could.
    QString cleanupFailure;
    // Every throttle the helper has on, oldest first, whoever owns it; empty
    // while disabled and from a helper that keeps one throttle only.
    QList<HelperThrottle> throttles = {};
    // The names of the profiles this application's throttles of one
    // application or one command run, by id: their rows are named by them.
    QMap<quint64, QString> besideProfiles = {};
    // The command lines this application launched throttled, by the id of
    // the throttle of each one's scope.
    QMap<quint64, QString> launchedCommands = {};

    // The helper names one owner (the whole machine's, else the newest
    // throttle's); a scoped throttle of this application beside another
    // client's is this application's to end all the same.
    bool isOwnedByThisApplication() const {
        return isEnabled &&
               ((owner && owner->isThisClient) ||
                std::any_of(throttles.begin(), throttles.end(),
                            [](const HelperThrottle& t) { return t.owner.isThisClient; }));
    }
    // A throttle of this application's that its bus connection holds: one
    // the helper would end as this process ends.
    bool holdsOwnThrottling() const {
        return isEnabled &&
               ((owner && owner->isThisClient && owner->held) ||
                std::any_of(throttles.begin(), throttles.end(), [](const HelperThrottle& t) {
                    return t.owner.isThisClient && t.owner.held;
                }));
    }
    // What the switch, a picked application and a launch apply: the
    // selection, else the first of `profiles`; none without any.
    std::optional<ThrottleProfile> profileToApply(const QList<ThrottleProfile>& profiles) const {
        if (selectedProfile || profiles.isEmpty()) {
            return selectedProfile;
        }
        return profiles.first();
    }
    // Running for someone else that the panel and the tooltip name.
    bool isOwnedElsewhere() const { return isEnabled && owner && !owner->isThisClient; }

    bool operator==(const ThrottleState&) const = default;
};

// A throttle of one application or one command: it runs beside the whole
// machine's and the destinations' throttles, never in their place.
inline bool standsBeside(const ThrottleScope& scope) {
    return scope.kind() == ThrottleScope::Kind::application ||
           scope.kind() == ThrottleScope::Kind::command;
}

// A throttle nobody is still responsible for: left unheld by an earlier
// process of this application run by `userId`, or by a client that names no
// owner. A hold the helper still keeps means its holder is connected;
// another user's throttling is that user's (a second session on a shared
// machine), never this application's to end.
inline bool isLeftBehind(const ThrottleOwner& owner, uint userId) {
    return !owner.held && !owner.isThisClient && owner.uid == userId &&
           (owner.description.isEmpty() || owner.description == ThrottleState::applicationOwner);
}

// The ids of the throttles of `listed` that are left behind.
inline std::vector<quint64> leftBehindThrottles(const QList<HelperThrottle>& listed, uint userId) {
    std::vector<quint64> ids;
    for (const HelperThrottle& throttle : listed) {
        if (isLeftBehind(throttle.owner, userId)) {
            ids.push_back(throttle.id);
        }
    }
    return ids;
}

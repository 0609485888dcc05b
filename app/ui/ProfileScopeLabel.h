// SPDX-License-Identifier: MIT
#pragma once

#include "ApplicationNames.h"
#include "ThrottleProfile.h"

#include <QString>

// How the profile rows of the panel and of the profile list tell what
// traffic a profile shapes, the application by the name its desktop entry
// gives it (by its desktop id without `names`). All empty for all traffic.
struct ProfileScopeLabel {
    // A short line of its own: "Only to api.example.com +1", "Only Slack".
    QString line;
    // The end of a sentence: "only to api.example.com, :443", "only for Slack".
    QString sentence;
    // A profile for an application: the name under which it is shown and
    // its icon's name (empty without one).
    QString applicationName;
    QString iconName;

    bool operator==(const ProfileScopeLabel&) const = default;

    static ProfileScopeLabel of(const ThrottleProfile& profile, ApplicationNames* names);
    // The conditions, then the scope: what a screen reader reads of a row.
    static QString description(const ThrottleProfile& profile, const ProfileScopeLabel& scope);
};

// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleProfile.h"

#include <QString>
#include <QUuid>

// The copies the application makes of a profile for the user: a duplicate,
// an imported profile, a custom record that wrongly claims to be built in.
namespace ProfileCopy {

// A custom profile the user may edit, of the conditions, destinations and schedule whole and
// the keys of a newer build, so that a copy carries everything its original has.
ThrottleProfile editable(const ThrottleProfile& profile, const QUuid& id, const QString& name);

// The name of a copy; a duplicate and an import of a taken name share it.
QString nameFor(const QString& name);

} // namespace ProfileCopy

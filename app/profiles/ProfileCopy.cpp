// SPDX-License-Identifier: MIT
#include "ProfileCopy.h"

namespace ProfileCopy {

ThrottleProfile editable(const ThrottleProfile& profile, const QUuid& id, const QString& name) {
    ThrottleProfile copy(id, name, profile.conditions, false, true);
    copy.destinations = profile.destinations;
    copy.schedule = profile.schedule;
    copy.otherKeys = profile.otherKeys;
    return copy;
}

QString nameFor(const QString& name) {
    return name + QStringLiteral(" Copy");
}

} // namespace ProfileCopy

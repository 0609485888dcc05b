// SPDX-License-Identifier: MIT
#pragma once

#include "ProfileChange.h"
#include "ThrottleProfile.h"

#include <QList>

// Profiles from elsewhere (another machine's export) added as new custom
// profiles with new ids, all or none. A name another profile has, or one
// added before it, is given the duplicate's " Copy" suffix until it is
// free, or, with NameClash::refuse, refuses the whole import naming each
// clash.
class ProfileImport final {
public:
    enum class NameClash { rename, refuse };

    ProfileImport(QList<ThrottleProfile> profiles, NameClash clash);

    // Adds the profiles to `stored`, the custom profiles as the file holds
    // them under its lock, beside `builtIns`; nothing when it refuses.
    ProfileChange addTo(QList<ThrottleProfile>& stored, const QList<ThrottleProfile>& builtIns);
    // The profiles the last addTo() added, as stored; none after a refusal.
    const QList<ThrottleProfile>& added() const { return m_added; }

private:
    QList<ThrottleProfile> m_profiles;
    NameClash m_clash;
    QList<ThrottleProfile> m_added;
};

// SPDX-License-Identifier: MIT
#include "SettingsKeys.h"

#include <QStringList>

namespace SettingsKeys {

QVariant defaultValue(QStringView key) {
    // Quitting removes throttling and notifications are shown unless the user
    // says otherwise: a fresh installation must err on the side of safety.
    if (key == autoDisableOnQuit || key == showNotifications) {
        return true;
    }
    if (key == hasCompletedOnboarding || key == autoDisableEnabled || key == launchAtLogin) {
        return false;
    }
    if (key == autoDisableMinutes) {
        return 30;
    }
    if (key == defaultProfileID) {
        return QString();
    }
    if (key == deletedBuiltInProfiles) {
        return QStringList();
    }
    return {};
}

} // namespace SettingsKeys

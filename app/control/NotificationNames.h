// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The names posted on the NotificationCenter. Each is written here only:
// whoever posts one and whoever observes it include this, so the two can
// never drift apart.
namespace NotificationName {

inline const QString throttlingEnabled = QStringLiteral("ThrottlingEnabled");
inline const QString throttlingDisabled = QStringLiteral("ThrottlingDisabled");
// The user tapped the notification of an available update.
inline const QString sparkleUpdateNotificationTapped =
    QStringLiteral("SparkleUpdateNotificationTapped");
// Posted by the settings window after it has stored the new choice. User
// info "enabled" (bool) and "minutes" (int).
inline const QString autoDisableSettingChanged = QStringLiteral("AutoDisableSettingChanged");

} // namespace NotificationName

// The identifiers of the application's user notifications: a tap reports
// one, and withdrawing a notification names it.
namespace UserNotificationId {

inline const QString helperNotInstalled = QStringLiteral("helper-not-installed");
inline const QString throttlingCleanup = QStringLiteral("throttling-cleanup");
inline const QString autoDisableWarning = QStringLiteral("auto-disable-warning");
inline const QString autoDisableCompleted = QStringLiteral("auto-disable-completed");
inline const QString updateAvailable = QStringLiteral("sparkle-update-available");
// The desktop shows no tray icons: the panel opens as a window.
inline const QString noTray = QStringLiteral("no-tray");

} // namespace UserNotificationId

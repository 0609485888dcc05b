// SPDX-License-Identifier: MIT
#include "NotificationTapRouter.h"

#include "NotificationNames.h"

NotificationTapRouter::NotificationTapRouter(WindowNavigator& windows,
                                             NotificationCenter& notifications)
    : m_windows(windows)
    , m_notifications(notifications) {}

void NotificationTapRouter::tapped(const QString& identifier) {
    if (identifier == UserNotificationId::helperNotInstalled) {
        m_windows.openWindow(WindowNavigator::settings);
    } else if (identifier == UserNotificationId::updateAvailable) {
        m_notifications.post(NotificationName::sparkleUpdateNotificationTapped);
    }
}

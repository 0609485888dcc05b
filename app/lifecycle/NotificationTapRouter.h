// SPDX-License-Identifier: MIT
#pragma once

#include "NotificationCenter.h"
#include "WindowNavigator.h"

#include <QString>

// What tapping one of the application's notifications does: the helper's
// opens the settings, where the helper is installed or checked again; the
// update's shows the update. The others only inform.
class NotificationTapRouter final {
public:
    NotificationTapRouter(WindowNavigator& windows, NotificationCenter& notifications);

    void tapped(const QString& identifier);

private:
    WindowNavigator& m_windows;
    NotificationCenter& m_notifications;
};

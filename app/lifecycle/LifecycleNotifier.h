// SPDX-License-Identifier: MIT
#pragma once

#include "LifecycleLog.h"
#include "ServiceRegistration.h"
#include "UserDefaults.h"
#include "UserNotificationCenter.h"

#include <QString>

// The user notifications of the application's life: permission asked once
// at launch, each notification posted under its identifier, and what the
// desktop could not show logged rather than lost.
class LifecycleNotifier final {
public:
    LifecycleNotifier(UserNotificationCenter& center, UserDefaults& defaults, LifecycleLog log);

    void requestPermission();
    // Why the helper cannot be used, by what the system says of it.
    void helperUnavailable(ServiceStatus status);
    // Shown whatever the settings say; a tap does nothing.
    void post(const QString& identifier, const QString& body);
    // Posts unless the user switched notifications off.
    void postOptional(const QString& identifier, const QString& body, const QString& failurePrefix);

private:
    void show(const QString& identifier, const QString& body, bool opensOnTap,
              const QString& failurePrefix);

    UserNotificationCenter& m_center;
    UserDefaults& m_defaults;
    LifecycleLog m_log;
};

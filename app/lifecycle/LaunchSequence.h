// SPDX-License-Identifier: MIT
#pragma once

#include "LifecycleLog.h"
#include "LifecycleNotifier.h"
#include "OrphanCleanup.h"
#include "ProfileManager.h"
#include "ServiceRegistration.h"
#include "StatePersistenceService.h"
#include "ThrottleService.h"
#include "UserDefaults.h"

#include <QObject>

// The launch's own steps, in their order. At launch: permission to notify,
// then, once the user has been onboarded, whether the helper can be used.
// Once the services come: the profiles, the selection restored, and the
// helper's state with what an earlier run left behind.
class LaunchSequence final : public QObject {
    Q_OBJECT

public:
    LaunchSequence(UserDefaults& defaults, StatePersistenceService& persistence,
                   ServiceRegistration& registration, LifecycleNotifier& notifier,
                   OrphanCleanup& orphanCleanup, LifecycleLog log, QObject* parent = nullptr);

    void applicationLaunched();
    void servicesRegistered(ThrottleService& service, ProfileManager& profiles);

private:
    void checkHelperStatus();
    void restoreSelectedProfile(ThrottleService& service, ProfileManager& profiles);

    UserDefaults& m_defaults;
    StatePersistenceService& m_persistence;
    ServiceRegistration& m_registration;
    LifecycleNotifier& m_notifier;
    OrphanCleanup& m_orphanCleanup;
    LifecycleLog m_log;
};

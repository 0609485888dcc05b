// SPDX-License-Identifier: MIT
#include "LaunchSequence.h"

#include "SettingsKeys.h"
#include "ThrottleProfile.h"

#include <QList>
#include <QUuid>

#include <optional>

LaunchSequence::LaunchSequence(UserDefaults& defaults, StatePersistenceService& persistence,
                               ServiceRegistration& registration, LifecycleNotifier& notifier,
                               OrphanCleanup& orphanCleanup, LifecycleLog log, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_persistence(persistence)
    , m_registration(registration)
    , m_notifier(notifier)
    , m_orphanCleanup(orphanCleanup)
    , m_log(std::move(log)) {}

void LaunchSequence::applicationLaunched() {
    m_notifier.requestPermission();
    checkHelperStatus();
}

void LaunchSequence::checkHelperStatus() {
    // Before onboarding the user has not been asked to install anything yet.
    if (!m_defaults.boolValue(SettingsKeys::hasCompletedOnboarding)) {
        return;
    }
    // After the launch: reading the registration asks the system bus.
    QMetaObject::invokeMethod(
        this,
        [this] {
            const ServiceStatus status = m_registration.daemonStatus();
            if (status != ServiceStatus::enabled) {
                m_notifier.helperUnavailable(status);
            }
        },
        Qt::QueuedConnection);
}

void LaunchSequence::servicesRegistered(ThrottleService& service, ProfileManager& profiles) {
    profiles.loadBuiltInProfiles();
    profiles.loadCustomProfiles();
    // Only recorded, even when the helper already runs someone's throttling:
    // the launch never takes it over.
    restoreSelectedProfile(service, profiles);
    m_orphanCleanup.run(&service);
}

void LaunchSequence::restoreSelectedProfile(ThrottleService& service, ProfileManager& profiles) {
    const std::optional<QString> stored = m_persistence.selectedProfileID();
    const std::optional<QUuid> id = stored ? ThrottleProfile::idFromText(*stored) : std::nullopt;
    if (const std::optional<ThrottleProfile> saved = id ? profiles.profile(*id) : std::nullopt) {
        service.recordSelection(*saved);
        m_log(QStringLiteral("Restored selected profile: ") + saved->name);
        return;
    }
    const QList<ThrottleProfile> all = profiles.allProfiles();
    if (!all.isEmpty()) {
        service.recordSelection(all.constFirst());
        m_log(QStringLiteral("No saved profile, defaulting to: ") + all.constFirst().name);
    }
}

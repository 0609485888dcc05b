// SPDX-License-Identifier: MIT
#include "AppDelegate.h"

#include "SettingsKeys.h"
#include "ThrottleState.h"

#include <csignal>

AppDelegate::AppDelegate(AppDelegateContext context, QObject* parent)
    : QObject(parent)
    , m_context(std::move(context))
    , m_notifier(m_context.userNotifications, m_context.defaults, m_context.log)
    , m_orphanCleanup(m_context.registration, m_notifier, m_context.log)
    , m_launch(m_context.defaults, m_context.persistence, m_context.registration, m_notifier,
               m_orphanCleanup, m_context.log)
    , m_quitCleanup(m_context.defaults, m_context.newHelperConnection, m_context.cleanupDeadline,
                    m_context.log)
    , m_autoDisable(m_context.defaults, m_context.timers, m_notifier, m_context.clock,
                    m_context.log)
    , m_tapRouter(m_context.windows, m_context.notifications) {}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    // The accessory policy (no main window, no taskbar entry) is the
    // application's own set-up; everything else starts here, in this order.
    m_launch.applicationLaunched();
    connect(&m_context.userNotifications, &UserNotificationCenter::tapped, this,
            [this](const QString& identifier) { m_tapRouter.tapped(identifier); });
    connect(&m_context.events, &ApplicationEvents::becameActive, this, [this] {
        if (m_helperReconnect) {
            m_helperReconnect->applicationBecameActive();
        }
    });
    registerForPowerNotifications();
    connect(&m_context.events, &ApplicationEvents::willTerminate, this,
            &AppDelegate::applicationWillTerminate);
    connect(&m_context.events, &ApplicationEvents::signalReceived, this,
            &AppDelegate::handleSignal);
    // A closed terminal or a logout (SIGHUP) and a quit from the keyboard
    // (SIGQUIT) end the application as surely as SIGTERM and SIGINT: the
    // same clean-up.
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
        m_context.events.watchSignal(signalNumber);
    }
    connect(&m_context.notifications, &NotificationCenter::posted, &m_autoDisable,
            &AutoDisableRun::notificationPosted);
    m_context.log(QStringLiteral("Veltrane launched successfully"));
}

void AppDelegate::registerForPowerNotifications() {
    connect(&m_context.events, &ApplicationEvents::systemWillSleep, this,
            [this] { m_context.log(QStringLiteral("System going to sleep")); });
    connect(&m_context.events, &ApplicationEvents::systemDidWake, this, [this] {
        m_context.log(QStringLiteral("System woke from sleep"));
        m_autoDisable.systemDidWake();
    });
}

void AppDelegate::handleSignal(int signalNumber) {
    m_context.log(QStringLiteral("Received signal %1, performing cleanup...").arg(signalNumber));
    // A second signal during the clean-up must not cut it short: the running
    // handler terminates when it is done.
    if (m_quitCleanup.isRunning()) {
        return;
    }
    m_quitCleanup.perform();
    m_context.events.terminate();
}

void AppDelegate::registerServices(ThrottleService& throttleService,
                                   ProfileManager& profileManager) {
    if (m_hasRegisteredServices) {
        return;
    }
    m_hasRegisteredServices = true;
    m_throttleService = &throttleService;
    // Held by this process's connection unless the user wants throttling to
    // stay after quitting; asked at every switch-on, as the setting changes.
    UserDefaults& defaults = m_context.defaults;
    throttleService.setOwnership(ThrottleState::applicationOwner, [&defaults] {
        return defaults.boolValue(SettingsKeys::autoDisableOnQuit);
    });
    throttleService.followProfiles(profileManager);
    m_quitCleanup.attach(throttleService);
    m_autoDisable.attach(throttleService);
    m_helperReconnect = std::make_unique<HelperReconnect>(throttleService);
    m_launch.servicesRegistered(throttleService, profileManager);
}

void AppDelegate::applicationWillTerminate() {
    m_quitCleanup.remainingTime(); // the bound starts here unless a signal started it
    const bool wasEnabled = m_throttleService && m_throttleService->state().isEnabled;
    // The network first: the settings file may be locked by another process,
    // and its writes get only what the clean-up left of the bound.
    if (m_context.defaults.boolValue(SettingsKeys::autoDisableOnQuit)) {
        m_quitCleanup.perform();
    } else {
        m_quitCleanup.releaseHold();
    }
    if (m_throttleService) {
        saveQuitState(wasEnabled);
    }
    m_context.log(QStringLiteral("Veltrane terminating"));
}

void AppDelegate::saveQuitState(bool wasEnabled) {
    const std::optional<ThrottleProfile>& selected = m_throttleService->state().selectedProfile;
    m_context.persistence.saveQuitState(wasEnabled, selected ? std::optional<QUuid>(selected->id())
                                                             : std::nullopt);
}

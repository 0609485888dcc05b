// SPDX-License-Identifier: MIT
#pragma once

#include "ApplicationEvents.h"
#include "AutoDisableRun.h"
#include "HelperClient.h"
#include "HelperReconnect.h"
#include "LaunchSequence.h"
#include "LifecycleLog.h"
#include "LifecycleNotifier.h"
#include "NotificationCenter.h"
#include "NotificationTapRouter.h"
#include "OrphanCleanup.h"
#include "ProfileManager.h"
#include "QuitCleanup.h"
#include "ServiceRegistration.h"
#include "StatePersistenceService.h"
#include "ThrottleService.h"
#include "TimerSource.h"
#include "UserDefaults.h"
#include "UserNotificationCenter.h"
#include "WindowNavigator.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <memory>

// What the delegate works with, apart from the two services that it is
// handed once the tray entry is shown.
struct AppDelegateContext {
    UserDefaults& defaults;
    StatePersistenceService& persistence;
    ServiceRegistration& registration;
    UserNotificationCenter& userNotifications;
    NotificationCenter& notifications;
    ApplicationEvents& events;
    TimerSource& timers;
    WindowNavigator& windows;
    // A helper connection of its own, independent of the service's: the
    // clean-up's fallback when the service cannot switch throttling off.
    // Made only inside the clean-up's bound.
    std::function<std::unique_ptr<HelperClient>()> newHelperConnection;
    // Diagnostic lines: standard output.
    LifecycleLog log;
    // How long quitting may take, whatever the helper and the settings file
    // do: the clean-up first, then the quit state's writes in what is left.
    std::chrono::milliseconds cleanupDeadline{ThrottleService::kQuitBound};
    // Wall-clock time: an auto-disable run ends when it says, however long
    // the machine slept in between.
    std::function<QDateTime()> clock = &QDateTime::currentDateTimeUtc;
};

// The application's life, as the desktop reports it, handed to one
// collaborator per job: the launch's steps (LaunchSequence), removing what
// an earlier run left behind (OrphanCleanup), the auto-disable run
// (AutoDisableRun), what tapping a notification does
// (NotificationTapRouter), reconnecting the helper (HelperReconnect), and
// above all that throttling this application switched on never outlives it
// (QuitCleanup, at quit and at the termination signals), while throttling
// another client owns is left alone. Lives on the main thread.
class AppDelegate final : public QObject {
    Q_OBJECT

public:
    explicit AppDelegate(AppDelegateContext context, QObject* parent = nullptr);
    ~AppDelegate() override;

    void applicationDidFinishLaunching();
    // Acts on the first call only: loads the profiles, restores the
    // selection and removes throttling the helper still holds.
    void registerServices(ThrottleService& throttleService, ProfileManager& profileManager);
    // The quit steps: unless the user switched it off, ends this
    // application's throttles (otherwise lets go of its hold, so that they
    // stay), then stores the quit state.
    void applicationWillTerminate();

private:
    void registerForPowerNotifications();
    void handleSignal(int signalNumber);
    void saveQuitState(bool wasEnabled);

    AppDelegateContext m_context;
    QPointer<ThrottleService> m_throttleService;
    bool m_hasRegisteredServices = false;
    // Before everything that posts through it.
    LifecycleNotifier m_notifier;
    OrphanCleanup m_orphanCleanup;
    LaunchSequence m_launch;
    QuitCleanup m_quitCleanup;
    AutoDisableRun m_autoDisable;
    NotificationTapRouter m_tapRouter;
    // Once the services are registered.
    std::unique_ptr<HelperReconnect> m_helperReconnect;
};

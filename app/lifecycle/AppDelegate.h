// SPDX-License-Identifier: MIT
#pragma once

#include "ApplicationEvents.h"
#include "HelperClient.h"
#include "NotificationCenter.h"
#include "ProfileManager.h"
#include "ServiceRegistration.h"
#include "StatePersistenceService.h"
#include "ThrottleService.h"
#include "TimerSource.h"
#include "UserDefaults.h"
#include "UserNotificationCenter.h"
#include "WindowNavigator.h"

#include <QCoro/QCoroTask>
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
    std::function<std::unique_ptr<HelperClient>()> newHelperConnection;
    // Diagnostic lines: standard output.
    std::function<void(const QString&)> log;
    // How long quitting may wait for the helper, whatever it does.
    std::chrono::milliseconds cleanupDeadline{2000};
};

// Decides what happens around the user's work: the launch order, restoring
// the selected profile, removing throttling that an earlier run left behind,
// the auto-disable timer, what tapping a notification does, and above all
// that throttling never outlives the application (quit, SIGTERM, SIGINT).
// Lives on the main thread.
class AppDelegate final : public QObject {
    Q_OBJECT

public:
    explicit AppDelegate(AppDelegateContext context, QObject* parent = nullptr);
    ~AppDelegate() override;

    void applicationDidFinishLaunching();
    // Acts on the first call only: loads the profiles, restores the
    // selection and removes throttling the helper still holds.
    void registerServices(ThrottleService& throttleService, ProfileManager& profileManager);
    // The quit steps: stores the quit state and, unless the user switched it
    // off, removes throttling.
    void applicationWillTerminate();
    // Removes throttling through the service or else a fresh connection,
    // waiting at most the clean-up deadline. Runs once per process.
    void performCleanup();

private:
    void requestNotificationPermissions();
    void checkHelperStatus();
    void registerForPowerNotifications();
    void createSignalHandler(int signalNumber);
    void setupAutoDisableObserver();

    QCoro::Task<> loadAndSynchronize(QPointer<ThrottleService> service,
                                     QPointer<ProfileManager> profiles);
    QCoro::Task<> restoreSelectedProfile(QPointer<ThrottleService> service,
                                         QPointer<ProfileManager> profiles);
    QCoro::Task<> synchronizeWithHelperStatus(QPointer<ThrottleService> service);

    void appDidBecomeActive();
    QCoro::Task<> reconnectHelper(QPointer<ThrottleService> service);
    void handleSignal(int signalNumber);

    void notificationPosted(const QString& name, const QVariantMap& userInfo);
    void autoDisableSettingChanged(const QVariantMap& userInfo);
    void onThrottlingEnabled();
    void startAutoDisableTimer(qint64 minutes);
    void cancelAutoDisableTimer();
    void performAutoDisable();
    QCoro::Task<> removeThrottlingForAutoDisable(QPointer<ThrottleService> service);

    void showHelperNotInstalledNotification();
    void showThrottlingActiveNotification();
    void showAutoDisableWarningNotification();
    void showAutoDisableCompletedNotification();
    // Posts unless the user switched notifications off.
    void showOptionalNotification(const QString& identifier, const QString& body,
                                  const QString& failurePrefix);
    void showNotification(const QString& identifier, const QString& body,
                          const QString& failurePrefix);
    void notificationTapped(const QString& identifier);

    void log(const QString& line) const { m_context.log(line); }

    AppDelegateContext m_context;
    QPointer<ThrottleService> m_throttleService;
    QPointer<ProfileManager> m_profileManager;
    bool m_hasPerformedCleanup = false;
    bool m_cleanupRunning = false;
    bool m_hasRegisteredServices = false;
    std::unique_ptr<ScheduledAction> m_autoDisableTimer;
    std::unique_ptr<ScheduledAction> m_autoDisableWarning;
    // The clean-up's own connection; a call it still waits on when the
    // delegate goes ends with it.
    std::unique_ptr<HelperClient> m_fallbackConnection;
};

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
#include <QDateTime>
#include <QDeadlineTimer>
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
    std::function<void(const QString&)> log;
    // How long quitting may take, whatever the helper and the settings file
    // do: the clean-up first, then the quit state's writes in what is left.
    std::chrono::milliseconds cleanupDeadline{ThrottleService::kQuitBound};
    // Wall-clock time: an auto-disable run ends when it says, however long
    // the machine slept in between.
    std::function<QDateTime()> clock = &QDateTime::currentDateTimeUtc;
};

// Decides what happens around the user's work: the launch order, restoring
// the selected profile, removing throttling that an earlier run left behind,
// the auto-disable timer, what tapping a notification does, and above all
// that throttling this application switched on never outlives it (quit and
// the termination signals), while throttling another client owns is left
// alone. Lives on the main thread.
class AppDelegate final : public QObject {
    Q_OBJECT

public:
    explicit AppDelegate(AppDelegateContext context, QObject* parent = nullptr);
    ~AppDelegate() override;

    void applicationDidFinishLaunching();
    // Acts on the first call only: loads the profiles, restores the
    // selection and removes throttling the helper still holds.
    void registerServices(ThrottleService& throttleService, ProfileManager& profileManager);
    // The quit steps: unless the user switched it off, removes throttling
    // (otherwise lets go of its hold, so that it stays), then stores the
    // quit state.
    void applicationWillTerminate();
    // Removes the throttling this application switched on, or that an
    // earlier run left behind, through the service or else a fresh
    // connection, within the quit's bound. Runs once per process.
    void performCleanup();

private:
    void requestNotificationPermissions();
    void checkHelperStatus();
    void registerForPowerNotifications();
    void createSignalHandler(int signalNumber);
    void setupAutoDisableObserver();

    QCoro::Task<> loadAndSynchronize(QPointer<ThrottleService> service,
                                     QPointer<ProfileManager> profiles);
    void restoreSelectedProfile(ThrottleService& service, ProfileManager& profiles);
    QCoro::Task<> synchronizeWithHelperStatus(QPointer<ThrottleService> service);

    void appDidBecomeActive();
    QCoro::Task<> reconnectHelper(QPointer<ThrottleService> service);
    void handleSignal(int signalNumber);
    void systemDidWake();
    // The quit's bound starts with the first quit step or signal.
    std::chrono::milliseconds remainingQuitTime();
    void releaseHold();
    void saveQuitState(bool wasEnabled);

    void notificationPosted(const QString& name, const QVariantMap& userInfo);
    void autoDisableSettingChanged(const QVariantMap& userInfo);
    void onThrottlingEnabled();
    void startAutoDisableTimer(qint64 minutes);
    void scheduleAutoDisable(QDateTime now);
    void cancelAutoDisableTimer();
    void performAutoDisable();
    QCoro::Task<> removeThrottlingForAutoDisable(QPointer<ThrottleService> service);

    // Why the helper cannot be used, by what the system says of it.
    void showHelperUnavailableNotification(ServiceStatus status);
    void showThrottlingActiveNotification();
    void showAutoDisableWarningNotification();
    void showAutoDisableCompletedNotification();
    // Posts unless the user switched notifications off.
    void showOptionalNotification(const QString& identifier, const QString& body,
                                  const QString& failurePrefix);
    void showNotification(const QString& identifier, const QString& body, bool opensOnTap,
                          const QString& failurePrefix);
    void notificationTapped(const QString& identifier);

    void log(const QString& line) const { m_context.log(line); }

    AppDelegateContext m_context;
    QPointer<ThrottleService> m_throttleService;
    QPointer<ProfileManager> m_profileManager;
    bool m_hasPerformedCleanup = false;
    bool m_cleanupRunning = false;
    bool m_hasRegisteredServices = false;
    std::optional<QDeadlineTimer> m_quitBound;
    std::unique_ptr<ScheduledAction> m_autoDisableTimer;
    std::unique_ptr<ScheduledAction> m_autoDisableWarning;
    // The run's wall-clock ends; the timers above count only awake time.
    std::optional<QDateTime> m_autoDisableAt;
    std::optional<QDateTime> m_autoDisableWarningAt;
    // The clean-up's own connection; a call it still waits on when the
    // delegate goes ends with it.
    std::unique_ptr<HelperClient> m_fallbackConnection;
};

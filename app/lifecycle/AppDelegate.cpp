// SPDX-License-Identifier: MIT
#include "AppDelegate.h"

#include "SettingsKeys.h"
#include "TaskDeadline.h"

#include <csignal>
#include <exception>

namespace {

const QString kHelperNotInstalled = QStringLiteral("helper-not-installed");
const QString kThrottlingCleanup = QStringLiteral("throttling-cleanup");
const QString kAutoDisableWarning = QStringLiteral("auto-disable-warning");
const QString kAutoDisableCompleted = QStringLiteral("auto-disable-completed");
const QString kUpdateAvailable = QStringLiteral("sparkle-update-available");

const QString kAutoDisableSettingChanged = QStringLiteral("AutoDisableSettingChanged");
const QString kUpdateNotificationTapped = QStringLiteral("SparkleUpdateNotificationTapped");

const QString kNotificationFailure = QStringLiteral("Failed to show notification: ");

using Log = std::function<void(const QString&)>;

// The text a failed helper or service call is logged with.
QString describe(const std::exception& error) {
    if (const auto* throttleError = dynamic_cast<const ThrottleError*>(&error)) {
        return throttleError->description();
    }
    return QString::fromUtf8(error.what());
}

// A setting's integer only when it is one: a text or a fraction is malformed.
std::optional<qint64> integerOf(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toLongLong();
    default:
        return std::nullopt;
    }
}

// The connection is the delegate's: when the delegate goes, the calls still
// waiting on it end with an error.
QCoro::Task<> fallbackCleanup(QPointer<HelperClient> connection, Log log,
                              std::shared_ptr<const bool> abandoned) {
    QString failure;
    try {
        if (co_await connection->getStatus() && connection) {
            co_await connection->disableThrottling();
            log(QStringLiteral("Throttling disabled via fallback connection"));
        }
        co_return;
    } catch (const std::exception& error) {
        failure = describe(error);
    }
    if (!*abandoned) {
        log(QStringLiteral("Fallback cleanup failed: ") + failure);
    }
}

// Touches nothing of the delegate: it may still run after the deadline,
// when the delegate is gone. Once abandoned it starts nothing new: the
// application is going away.
QCoro::Task<> cleanup(QPointer<ThrottleService> service,
                      std::function<QPointer<HelperClient>()> newConnection, Log log,
                      std::shared_ptr<const bool> abandoned) {
    if (service && service->state().isEnabled) {
        QString failure;
        try {
            co_await service->removeThrottling();
            log(QStringLiteral("Throttling disabled via registered service"));
            co_return;
        } catch (const std::exception& error) {
            failure = describe(error);
        }
        log(QStringLiteral("Failed to disable throttling via service: ") + failure);
        if (*abandoned) {
            co_return;
        }
    }
    co_await fallbackCleanup(newConnection(), std::move(log), std::move(abandoned));
}

QCoro::Task<> deliver(UserNotificationCenter& center, UserNotificationRequest request,
                      QString failurePrefix, Log log) {
    const std::optional<QString> error = co_await center.add(std::move(request));
    if (error) {
        log(failurePrefix + *error);
    }
}

} // namespace

AppDelegate::AppDelegate(AppDelegateContext context, QObject* parent)
    : QObject(parent)
    , m_context(std::move(context)) {}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    // The accessory policy (no main window, no taskbar entry) is the
    // application's own set-up; everything else starts here, in this order.
    requestNotificationPermissions();
    connect(&m_context.userNotifications, &UserNotificationCenter::tapped, this,
            &AppDelegate::notificationTapped);
    checkHelperStatus();
    connect(&m_context.events, &ApplicationEvents::becameActive, this,
            &AppDelegate::appDidBecomeActive);
    registerForPowerNotifications();
    connect(&m_context.events, &ApplicationEvents::willTerminate, this,
            &AppDelegate::applicationWillTerminate);
    connect(&m_context.events, &ApplicationEvents::signalReceived, this,
            &AppDelegate::handleSignal);
    createSignalHandler(SIGTERM);
    createSignalHandler(SIGINT);
    setupAutoDisableObserver();
    log(QStringLiteral("Veltrane launched successfully"));
}

void AppDelegate::requestNotificationPermissions() {
    [](UserNotificationCenter& center, Log log) -> QCoro::Task<> {
        const NotificationAuthorization answer = co_await center.requestAuthorization();
        if (answer.error) {
            log(QStringLiteral("Failed to request notification permissions: ") + *answer.error);
        } else if (answer.granted) {
            log(QStringLiteral("Notification permissions granted"));
        }
    }(m_context.userNotifications, m_context.log);
}

void AppDelegate::checkHelperStatus() {
    // Before onboarding the user has not been asked to install anything yet.
    if (!m_context.defaults.boolValue(SettingsKeys::hasCompletedOnboarding)) {
        return;
    }
    // After the launch: reading the registration asks the system bus.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_context.registration.daemonStatus() != ServiceStatus::enabled) {
                showHelperNotInstalledNotification();
            }
        },
        Qt::QueuedConnection);
}

void AppDelegate::registerForPowerNotifications() {
    connect(&m_context.events, &ApplicationEvents::systemWillSleep, this,
            [this] { log(QStringLiteral("System going to sleep")); });
    connect(&m_context.events, &ApplicationEvents::systemDidWake, this,
            [this] { log(QStringLiteral("System woke from sleep")); });
}

void AppDelegate::createSignalHandler(int signalNumber) {
    m_context.events.watchSignal(signalNumber);
}

void AppDelegate::handleSignal(int signalNumber) {
    log(QStringLiteral("Received signal %1, performing cleanup...").arg(signalNumber));
    // A second signal during the clean-up must not cut it short: the running
    // handler terminates when it is done.
    if (m_cleanupRunning) {
        return;
    }
    performCleanup();
    m_context.events.terminate();
}

void AppDelegate::registerServices(ThrottleService& throttleService,
                                   ProfileManager& profileManager) {
    if (m_hasRegisteredServices) {
        return;
    }
    m_hasRegisteredServices = true;
    m_throttleService = &throttleService;
    m_profileManager = &profileManager;
    loadAndSynchronize(m_throttleService, m_profileManager);
}

QCoro::Task<> AppDelegate::loadAndSynchronize(QPointer<ThrottleService> service,
                                              QPointer<ProfileManager> profiles) {
    const QPointer<AppDelegate> alive(this);
    if (!service || !profiles) {
        co_return;
    }
    profiles->loadBuiltInProfiles();
    profiles->loadCustomProfiles();
    co_await restoreSelectedProfile(service, profiles);
    if (alive && service) {
        co_await synchronizeWithHelperStatus(service);
    }
}

QCoro::Task<> AppDelegate::restoreSelectedProfile(QPointer<ThrottleService> service,
                                                  QPointer<ProfileManager> profiles) {
    const QPointer<AppDelegate> alive(this);
    const Log log = m_context.log;
    const std::optional<QString> stored = m_context.persistence.selectedProfileID();
    const std::optional<QUuid> id = stored ? ThrottleProfile::idFromText(*stored) : std::nullopt;
    std::optional<ThrottleProfile> saved = id ? profiles->profile(*id) : std::nullopt;
    const bool restoring = saved.has_value();
    if (!restoring) {
        const QList<ThrottleProfile> all = profiles->allProfiles();
        if (all.isEmpty()) {
            co_return;
        }
        saved = all.constFirst();
    }
    QString failure;
    try {
        co_await service->selectProfile(*saved);
        log((restoring ? QStringLiteral("Restored selected profile: ")
                       : QStringLiteral("No saved profile, defaulting to: ")) +
            saved->name);
        co_return;
    } catch (const std::exception& error) {
        failure = describe(error);
    }
    log((restoring ? QStringLiteral("Failed to restore selected profile: ")
                   : QStringLiteral("Failed to set default profile: ")) +
        failure);
}

QCoro::Task<> AppDelegate::synchronizeWithHelperStatus(QPointer<ThrottleService> service) {
    const QPointer<AppDelegate> alive(this);
    const Log log = m_context.log;
    const ServiceStatus status = m_context.registration.daemonStatus();
    service->checkHelperStatus();
    if (status != ServiceStatus::enabled) {
        showHelperNotInstalledNotification();
        co_return;
    }
    HelperClient& helper = service->helperConnection();
    bool active = false;
    std::optional<QString> failure;
    try {
        active = co_await helper.getStatus();
    } catch (const std::exception& error) {
        failure = describe(error);
    }
    if (failure) {
        // Not when the application is going away: its connection just closed.
        if (alive) {
            log(QStringLiteral("Failed to query helper status: ") + *failure);
        }
        co_return;
    }
    if (!active || !alive || !service) {
        co_return;
    }
    // Left by an earlier run: this process never switched it on, so the
    // service's state is already off and stays as it is.
    log(QStringLiteral("Warning: Throttling is still active from previous session"));
    showThrottlingActiveNotification();
    try {
        co_await helper.disableThrottling();
        log(QStringLiteral("Disabled orphaned throttling from previous session"));
        co_return;
    } catch (const std::exception& error) {
        failure = describe(error);
    }
    log(QStringLiteral("Failed to disable orphaned throttling: ") + *failure);
}

void AppDelegate::appDidBecomeActive() {
    if (m_throttleService) {
        reconnectHelper(m_throttleService);
    }
}

QCoro::Task<> AppDelegate::reconnectHelper(QPointer<ThrottleService> service) {
    service->checkHelperStatus();
    HelperClient& helper = service->helperConnection();
    if (service->state().isHelperReady && !helper.isConnected()) {
        try {
            co_await helper.installHelper();
        } catch (const std::exception&) {
            // The panel and the settings show the helper's state.
        }
    }
}

void AppDelegate::applicationWillTerminate() {
    if (m_throttleService) {
        const ThrottleState& state = m_throttleService->state();
        m_context.persistence.saveQuitState(state.isEnabled,
                                            state.selectedProfile
                                                ? std::optional<QUuid>(state.selectedProfile->id())
                                                : std::nullopt);
    }
    if (m_context.defaults.boolValue(SettingsKeys::autoDisableOnQuit)) {
        performCleanup();
    }
    log(QStringLiteral("Veltrane terminating"));
}

void AppDelegate::performCleanup() {
    if (m_hasPerformedCleanup) {
        return;
    }
    m_hasPerformedCleanup = true;
    log(QStringLiteral("Performing throttling cleanup..."));
    // The clean-up runs on this thread, in a nested event loop that ends at
    // the deadline even when the helper took the call and never answers.
    m_cleanupRunning = true;
    const auto abandoned = std::make_shared<bool>(false);
    const auto newConnection = [this] {
        m_fallbackConnection = m_context.newHelperConnection();
        return QPointer<HelperClient>(m_fallbackConnection.get());
    };
    try {
        waitWithDeadline(cleanup(m_throttleService, newConnection, m_context.log, abandoned),
                         m_context.cleanupDeadline);
    } catch (const DeadlineExceeded&) {
        *abandoned = true;
        log(QStringLiteral("Cleanup timed out"));
    }
    m_cleanupRunning = false;
}

void AppDelegate::setupAutoDisableObserver() {
    connect(&m_context.notifications, &NotificationCenter::posted, this,
            &AppDelegate::notificationPosted);
}

void AppDelegate::notificationPosted(const QString& name, const QVariantMap& userInfo) {
    if (name == kAutoDisableSettingChanged) {
        autoDisableSettingChanged(userInfo);
    } else if (name == NotificationCenter::throttlingEnabled) {
        onThrottlingEnabled();
    } else if (name == NotificationCenter::throttlingDisabled) {
        cancelAutoDisableTimer();
    }
}

void AppDelegate::autoDisableSettingChanged(const QVariantMap& userInfo) {
    const QVariant enabled = userInfo.value(QStringLiteral("enabled"));
    const std::optional<qint64> minutes = integerOf(userInfo.value(QStringLiteral("minutes")));
    if (enabled.typeId() != QMetaType::Bool || !minutes) {
        return;
    }
    if (!enabled.toBool()) {
        cancelAutoDisableTimer();
    } else if (*minutes > 0 && m_throttleService && m_throttleService->state().isEnabled) {
        // The full run counts from now, not from when throttling went on.
        startAutoDisableTimer(*minutes);
    }
}

void AppDelegate::onThrottlingEnabled() {
    const qint64 minutes = m_context.defaults.value(SettingsKeys::autoDisableMinutes).toLongLong();
    if (m_context.defaults.boolValue(SettingsKeys::autoDisableEnabled) && minutes > 0) {
        startAutoDisableTimer(minutes);
    }
}

void AppDelegate::startAutoDisableTimer(qint64 minutes) {
    using namespace std::chrono_literals;
    cancelAutoDisableTimer();
    // Beyond a year the timer's own limit applies; the product stays in range.
    const std::chrono::minutes duration(std::min<qint64>(minutes, 366 * 24 * 60));
    if (minutes >= 2) {
        m_autoDisableWarning = m_context.timers.schedule(
            duration - 1min, [this] { showAutoDisableWarningNotification(); });
    }
    m_autoDisableTimer = m_context.timers.schedule(duration, [this] { performAutoDisable(); });
    log(QStringLiteral("Auto-disable timer started: %1 minutes").arg(minutes));
}

void AppDelegate::cancelAutoDisableTimer() {
    m_autoDisableTimer.reset();
    m_autoDisableWarning.reset();
}

void AppDelegate::performAutoDisable() {
    if (!m_throttleService || !m_throttleService->state().isEnabled) {
        return;
    }
    removeThrottlingForAutoDisable(m_throttleService);
    cancelAutoDisableTimer();
}

QCoro::Task<> AppDelegate::removeThrottlingForAutoDisable(QPointer<ThrottleService> service) {
    const QPointer<AppDelegate> alive(this);
    const Log log = m_context.log;
    std::optional<QString> failure;
    try {
        co_await service->removeThrottling();
    } catch (const std::exception& error) {
        failure = describe(error);
    }
    if (failure) {
        log(QStringLiteral("Auto-disable failed: ") + *failure);
        co_return;
    }
    if (alive) {
        showAutoDisableCompletedNotification();
    }
    log(QStringLiteral("Auto-disable: Throttling has been automatically disabled"));
}

void AppDelegate::showHelperNotInstalledNotification() {
    showNotification(
        kHelperNotInstalled,
        QStringLiteral("The privileged helper is not installed. Open settings to install it."),
        kNotificationFailure);
}

void AppDelegate::showThrottlingActiveNotification() {
    showNotification(kThrottlingCleanup,
                     QStringLiteral("Throttling was still active from a previous session and has "
                                    "been disabled for safety."),
                     kNotificationFailure);
}

void AppDelegate::showAutoDisableWarningNotification() {
    showOptionalNotification(
        kAutoDisableWarning,
        QStringLiteral("Throttling will be automatically disabled in 1 minute."),
        QStringLiteral("Failed to show auto-disable warning notification: "));
}

void AppDelegate::showAutoDisableCompletedNotification() {
    showOptionalNotification(
        kAutoDisableCompleted, QStringLiteral("Throttling has been automatically disabled."),
        QStringLiteral("Failed to show auto-disable completed notification: "));
}

void AppDelegate::showOptionalNotification(const QString& identifier, const QString& body,
                                           const QString& failurePrefix) {
    if (m_context.defaults.boolValue(SettingsKeys::showNotifications)) {
        showNotification(identifier, body, failurePrefix);
    }
}

void AppDelegate::showNotification(const QString& identifier, const QString& body,
                                   const QString& failurePrefix) {
    deliver(m_context.userNotifications, {identifier, body}, failurePrefix, m_context.log);
}

void AppDelegate::notificationTapped(const QString& identifier) {
    if (identifier == kHelperNotInstalled) {
        m_context.windows.openWindow(WindowNavigator::settings);
    } else if (identifier == kUpdateAvailable) {
        m_context.notifications.post(kUpdateNotificationTapped);
    }
}

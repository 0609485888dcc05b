// SPDX-License-Identifier: MIT
#include "AppDelegate.h"

#include "SettingsKeys.h"
#include "TaskDeadline.h"

#include <QCoreApplication>
#include <QCoro/QCoroTimer>

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

// Throttling that quitting removes: this application's own, an enable of it
// still in flight, and what nobody is responsible for any more. Another
// client's stays: `veltranectl run` goes on after the application quits.
bool mustRemoveAtQuit(const ThrottleService& service) {
    const ThrottleState& state = service.state();
    return service.isApplying() || state.isOwnedByThisApplication() ||
           (state.isEnabled && isLeftBehind(state.owner));
}

// The connection is the delegate's: when the delegate goes, the calls still
// waiting on it end with an error.
QCoro::Task<> fallbackCleanup(QPointer<HelperClient> connection, Log log,
                              std::shared_ptr<const bool> abandoned) {
    QString failure;
    try {
        const HelperState state = co_await connection->readState();
        // Seen from a connection of its own, this process's throttling is
        // someone else's: its process tells it apart.
        const bool ours = state.owner && state.owner->pid == QCoreApplication::applicationPid();
        if (state.active && (ours || isLeftBehind(state.owner)) && connection) {
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
    // Everything from here on runs inside the bounded wait, whose deadline
    // starts only when this first suspends: nothing may block before it.
    co_await QCoro::sleepFor(std::chrono::milliseconds(0));
    if (*abandoned) {
        co_return;
    }
    if (service && mustRemoveAtQuit(*service)) {
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
    } else if (service && service->knowsHelperState()) {
        // The helper's own word: nothing of ours runs. A fresh connection
        // would only ask again, on a bus that may not answer.
        co_return;
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
    // A closed terminal or a logout (SIGHUP) and a quit from the keyboard
    // (SIGQUIT) end the application as surely: the same clean-up.
    createSignalHandler(SIGHUP);
    createSignalHandler(SIGQUIT);
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
            const ServiceStatus status = m_context.registration.daemonStatus();
            if (status != ServiceStatus::enabled) {
                showHelperUnavailableNotification(status);
            }
        },
        Qt::QueuedConnection);
}

void AppDelegate::registerForPowerNotifications() {
    connect(&m_context.events, &ApplicationEvents::systemWillSleep, this,
            [this] { log(QStringLiteral("System going to sleep")); });
    connect(&m_context.events, &ApplicationEvents::systemDidWake, this,
            &AppDelegate::systemDidWake);
}

void AppDelegate::systemDidWake() {
    log(QStringLiteral("System woke from sleep"));
    // The run's timers did not count the sleep: they follow the wall clock
    // again from here, and what fell due meanwhile happens now.
    if (m_autoDisableAt) {
        scheduleAutoDisable(m_context.clock());
    }
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
    // Held by this process's connection unless the user wants throttling to
    // stay after quitting; asked at every switch-on, as the setting changes.
    UserDefaults& defaults = m_context.defaults;
    throttleService.setOwnership(ThrottleState::applicationOwner, [&defaults] {
        return defaults.boolValue(SettingsKeys::autoDisableOnQuit);
    });
    throttleService.followProfiles(profileManager);
    // A run is for throttling this application owns: switched off, or taken
    // over by another client, it ends.
    connect(&throttleService, &ThrottleService::stateChanged, this,
            [this](const ThrottleState& state) {
                if (!state.isOwnedByThisApplication()) {
                    cancelAutoDisableTimer();
                }
            });
    loadAndSynchronize(m_throttleService, m_profileManager);
}

QCoro::Task<> AppDelegate::loadAndSynchronize(QPointer<ThrottleService> service,
                                              QPointer<ProfileManager> profiles) {
    if (!service || !profiles) {
        co_return;
    }
    profiles->loadBuiltInProfiles();
    profiles->loadCustomProfiles();
    // Only recorded, even when the helper already runs someone's throttling:
    // the launch never takes it over.
    restoreSelectedProfile(*service, *profiles);
    co_await synchronizeWithHelperStatus(service);
}

void AppDelegate::restoreSelectedProfile(ThrottleService& service, ProfileManager& profiles) {
    const std::optional<QString> stored = m_context.persistence.selectedProfileID();
    const std::optional<QUuid> id = stored ? ThrottleProfile::idFromText(*stored) : std::nullopt;
    if (const std::optional<ThrottleProfile> saved = id ? profiles.profile(*id) : std::nullopt) {
        service.recordSelection(*saved);
        log(QStringLiteral("Restored selected profile: ") + saved->name);
        return;
    }
    const QList<ThrottleProfile> all = profiles.allProfiles();
    if (!all.isEmpty()) {
        service.recordSelection(all.constFirst());
        log(QStringLiteral("No saved profile, defaulting to: ") + all.constFirst().name);
    }
}

QCoro::Task<> AppDelegate::synchronizeWithHelperStatus(QPointer<ThrottleService> service) {
    const QPointer<AppDelegate> alive(this);
    const Log log = m_context.log;
    const ServiceStatus status = m_context.registration.daemonStatus();
    service->checkHelperStatus();
    if (status != ServiceStatus::enabled) {
        showHelperUnavailableNotification(status);
        co_return;
    }
    HelperClient& helper = service->helperConnection();
    HelperState helperState;
    std::optional<QString> failure;
    try {
        helperState = co_await helper.readState();
    } catch (const std::exception& error) {
        failure = describe(error);
    }
    if (failure) {
        // Not when the application is going away: its connection just closed.
        if (alive) {
            log(QStringLiteral("Failed to query helper status: ") + *failure);
            showHelperUnavailableNotification(status);
        }
        co_return;
    }
    // A live holder's throttling, or one `veltranectl apply` left on, is
    // someone's on purpose: the panel and the tooltip show it.
    if (!helperState.active || !isLeftBehind(helperState.owner) || !alive || !service) {
        co_return;
    }
    log(QStringLiteral("Warning: Throttling is still active from previous session"));
    try {
        co_await helper.disableThrottling();
        log(QStringLiteral("Disabled orphaned throttling from previous session"));
    } catch (const std::exception& error) {
        failure = describe(error);
    }
    if (failure) {
        log(QStringLiteral("Failed to disable orphaned throttling: ") + *failure);
    } else if (alive) {
        // Only once it is true.
        showThrottlingActiveNotification();
    }
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
    remainingQuitTime(); // the bound starts here unless a signal started it
    const bool wasEnabled = m_throttleService && m_throttleService->state().isEnabled;
    // The network first: the settings file may be locked by another process,
    // and its writes get only what the clean-up left of the bound.
    if (m_context.defaults.boolValue(SettingsKeys::autoDisableOnQuit)) {
        performCleanup();
    } else {
        releaseHold();
    }
    if (m_throttleService) {
        saveQuitState(wasEnabled);
    }
    log(QStringLiteral("Veltrane terminating"));
}

std::chrono::milliseconds AppDelegate::remainingQuitTime() {
    if (!m_quitBound) {
        m_quitBound = QDeadlineTimer(m_context.cleanupDeadline);
        // Another program may keep the settings file locked.
        m_context.defaults.setWriteDeadline(*m_quitBound);
    }
    return std::chrono::milliseconds(m_quitBound->remainingTime());
}

void AppDelegate::releaseHold() {
    if (!m_throttleService || !m_throttleService->state().isOwnedByThisApplication() ||
        !m_throttleService->state().owner->held) {
        return;
    }
    // Otherwise the helper would remove it as this process's connection
    // closes: the user asked for throttling to stay.
    std::optional<QString> failure;
    try {
        waitWithDeadline(m_throttleService->helperConnection().releaseThrottling(),
                         remainingQuitTime());
    } catch (const DeadlineExceeded&) {
        failure = QStringLiteral("the helper did not answer in time");
    } catch (const std::exception& error) {
        failure = describe(error);
    }
    if (failure) {
        log(QStringLiteral("Failed to keep throttling on after quitting: ") + *failure);
    }
}

void AppDelegate::saveQuitState(bool wasEnabled) {
    const std::optional<ThrottleProfile>& selected = m_throttleService->state().selectedProfile;
    m_context.persistence.saveQuitState(wasEnabled, selected ? std::optional<QUuid>(selected->id())
                                                             : std::nullopt);
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
    // Made lazily, inside the bound: opening a bus connection can block.
    const auto newConnection = [this] {
        m_fallbackConnection = m_context.newHelperConnection();
        return QPointer<HelperClient>(m_fallbackConnection.get());
    };
    try {
        waitWithDeadline(cleanup(m_throttleService, newConnection, m_context.log, abandoned),
                         remainingQuitTime());
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
    } else if (*minutes > 0 && m_throttleService &&
               m_throttleService->state().isOwnedByThisApplication()) {
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
    cancelAutoDisableTimer();
    // Beyond a year the timer's own limit applies; the product stays in range.
    const qint64 seconds = std::min<qint64>(minutes, 366 * 24 * 60) * 60;
    const QDateTime now = m_context.clock();
    m_autoDisableAt = now.addSecs(seconds);
    if (minutes >= 2) {
        m_autoDisableWarningAt = m_autoDisableAt->addSecs(-60);
    }
    scheduleAutoDisable(now);
    log(QStringLiteral("Auto-disable timer started: %1 minutes").arg(minutes));
}

void AppDelegate::scheduleAutoDisable(QDateTime now) {
    const auto until = [&now](const QDateTime& at) {
        return std::chrono::milliseconds(now.msecsTo(at));
    };
    if (now >= *m_autoDisableAt) {
        performAutoDisable();
        return;
    }
    if (m_autoDisableWarningAt && now >= *m_autoDisableWarningAt) {
        m_autoDisableWarning.reset();
        m_autoDisableWarningAt.reset();
        showAutoDisableWarningNotification();
    } else if (m_autoDisableWarningAt) {
        m_autoDisableWarning = m_context.timers.schedule(until(*m_autoDisableWarningAt), [this] {
            m_autoDisableWarningAt.reset();
            showAutoDisableWarningNotification();
        });
    }
    m_autoDisableTimer =
        m_context.timers.schedule(until(*m_autoDisableAt), [this] { performAutoDisable(); });
}

void AppDelegate::cancelAutoDisableTimer() {
    m_autoDisableTimer.reset();
    m_autoDisableWarning.reset();
    m_autoDisableAt.reset();
    m_autoDisableWarningAt.reset();
}

void AppDelegate::performAutoDisable() {
    if (!m_throttleService || !m_throttleService->state().isOwnedByThisApplication()) {
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

void AppDelegate::showHelperUnavailableNotification(ServiceStatus status) {
    // A tap opens the settings, where the helper is installed or checked again.
    showNotification(kHelperNotInstalled, ServiceRegistration::unavailableText(status), true,
                     kNotificationFailure);
}

void AppDelegate::showThrottlingActiveNotification() {
    showNotification(kThrottlingCleanup,
                     QStringLiteral("Throttling was still active from a previous session and has "
                                    "been disabled for safety."),
                     false, kNotificationFailure);
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
        showNotification(identifier, body, false, failurePrefix);
    }
}

void AppDelegate::showNotification(const QString& identifier, const QString& body, bool opensOnTap,
                                   const QString& failurePrefix) {
    deliver(m_context.userNotifications, {identifier, body, opensOnTap}, failurePrefix,
            m_context.log);
}

void AppDelegate::notificationTapped(const QString& identifier) {
    if (identifier == kHelperNotInstalled) {
        m_context.windows.openWindow(WindowNavigator::settings);
    } else if (identifier == kUpdateAvailable) {
        m_context.notifications.post(kUpdateNotificationTapped);
    }
}

// SPDX-License-Identifier: MIT
#include "UpdaterService.h"

#include "AppcastUpdater.h"
#include "DebianPackageInstaller.h"
#include "NotificationCenter.h"
#include "NotificationNames.h"
#include "StandardUserDriver.h"
#include "UpdateLog.h"
#include "UserDefaults.h"
#include "UserNotificationCenter.h"

#include <QGuiApplication>

UpdaterService::Parts UpdaterService::Parts::fromBuild(UserDefaults& defaults) {
    return {UpdaterConfiguration::fromBuild(), defaults,
            std::make_unique<SingleShotUpdateCheckTimer>(),
            std::make_unique<DebianPackageInstaller>(DebianPackageInstaller::systemPaths()),
            [] { return QGuiApplication::applicationState() == Qt::ApplicationActive; }};
}

UpdaterService::UpdaterService(UserNotificationCenter& userNotifications,
                               NotificationCenter& notifications, UserDefaults& defaults,
                               QObject* parent)
    : UpdaterService(userNotifications, notifications, Parts::fromBuild(defaults), parent) {}

UpdaterService::UpdaterService(UserNotificationCenter& userNotifications,
                               NotificationCenter& notifications, Parts parts, QObject* parent)
    : QObject(parent)
    , m_userNotifications(userNotifications)
    , m_driver(std::make_unique<StandardUserDriver>(static_cast<UserDriverDelegate&>(*this),
                                                    parts.configuration.runningVersion,
                                                    std::move(parts.applicationIsInFocus))) {
    m_updater =
        std::make_unique<AppcastUpdater>(std::move(parts.configuration), *m_driver, parts.defaults,
                                         std::move(parts.timer), std::move(parts.installer));
    if (const auto error = m_updater->startUpdater()) {
        logUpdateLine(QStringLiteral("Failed to start Sparkle updater: ") + *error);
    }
    setCanCheckForUpdates(m_updater->canCheckForUpdates());
    connect(m_updater.get(), &SoftwareUpdater::canCheckForUpdatesChanged, this,
            &UpdaterService::setCanCheckForUpdates);
    // Connected to this object: a tap after it is gone reaches nobody.
    connect(&notifications, &NotificationCenter::posted, this, [this](const QString& name) {
        if (name == NotificationName::sparkleUpdateNotificationTapped) {
            // Opening the update window brings the application forward.
            m_updater->checkForUpdates();
        }
    });
}

UpdaterService::~UpdaterService() {
    // The updater reports to the driver until it is gone.
    m_updater.reset();
}

SoftwareUpdater& UpdaterService::updater() {
    return *m_updater;
}

UpdateSession& UpdaterService::updateSession() {
    return m_driver->session();
}

void UpdaterService::setWindowNavigator(WindowNavigator* navigator) {
    m_driver->setWindowNavigator(navigator);
}

bool UpdaterService::shouldHandleShowingScheduledUpdate(const AppcastItem&,
                                                        bool immediateFocus) const {
    return immediateFocus;
}

void UpdaterService::willHandleShowingUpdate(bool handleShowing, const AppcastItem& update,
                                             UpdateCheck) {
    if (!handleShowing) {
        postUpdateNotification(update.displayVersion);
    }
}

void UpdaterService::didReceiveUserAttention(const AppcastItem&) {
    m_userNotifications.removeDeliveredNotifications(UserNotificationId::updateAvailable);
}

void UpdaterService::willFinishUpdateSession() {
    m_userNotifications.removeDeliveredNotifications(UserNotificationId::updateAvailable);
}

QCoro::Task<> UpdaterService::postUpdateNotification(QString version) {
    UserNotificationRequest request{
        UserNotificationId::updateAvailable,
        QStringLiteral("Version %1 is available. Click to view update details.").arg(version)};
    // Named, not a temporary inside co_await: g++ 12 destroys such temporaries twice.
    QCoro::Task<std::optional<QString>> posting = m_userNotifications.add(std::move(request));
    // Only the answer is used after the wait, never this object, which may be gone by then.
    const std::optional<QString> error = co_await posting;
    if (error) {
        logUpdateLine(QStringLiteral("Failed to post update notification: ") + *error);
    }
}

void UpdaterService::setCanCheckForUpdates(bool canCheck) {
    if (canCheck != m_canCheckForUpdates) {
        m_canCheckForUpdates = canCheck;
        Q_EMIT canCheckForUpdatesChanged(canCheck);
    }
}

// SPDX-License-Identifier: MIT
#pragma once

#include "UpdateCheckTimer.h"
#include "UpdateInstaller.h"
#include "UpdaterConfiguration.h"
#include "UserDriverDelegate.h"

#include <QCoro/QCoroTask>
#include <QObject>

#include <functional>
#include <memory>

class AppcastUpdater;
class NotificationCenter;
class SoftwareUpdater;
class StandardUserDriver;
class UpdateSession;
class UserDefaults;
class UserNotificationCenter;
class WindowNavigator;

// The application's updater: started at construction, it publishes whether
// a manual check can start, turns updates that scheduled checks find while
// the user works elsewhere into a notification, removes that notification
// once the user deals with the update, and shows the update when the
// notification is tapped. One instance for the application's life.
class UpdaterService final : public QObject, private UserDriverDelegate {
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)

public:
    // What the updater is built from; the application's come from fromBuild().
    struct Parts {
        UpdaterConfiguration configuration;
        UserDefaults& defaults;
        std::unique_ptr<UpdateCheckTimer> timer;
        std::unique_ptr<UpdateInstaller> installer;
        // Whether the user is working in one of the application's windows.
        std::function<bool()> applicationIsInFocus;

        static Parts fromBuild(UserDefaults& defaults);
    };

    // The application's updater, over the application's settings.
    UpdaterService(UserNotificationCenter& userNotifications, NotificationCenter& notifications,
                   UserDefaults& defaults, QObject* parent = nullptr);
    UpdaterService(UserNotificationCenter& userNotifications, NotificationCenter& notifications,
                   Parts parts, QObject* parent = nullptr);
    ~UpdaterService() override;

    SoftwareUpdater& updater();
    bool canCheckForUpdates() const { return m_canCheckForUpdates; }
    // What the update window shows; its view model reads it.
    UpdateSession& updateSession();
    // Where the update window opens; without one, updates are only reminded of.
    void setWindowNavigator(WindowNavigator* navigator);

Q_SIGNALS:
    void canCheckForUpdatesChanged(bool canCheck);

private:
    bool supportsGentleScheduledUpdateReminders() const override { return true; }
    bool shouldHandleShowingScheduledUpdate(const AppcastItem& update,
                                            bool immediateFocus) const override;
    void willHandleShowingUpdate(bool handleShowing, const AppcastItem& update,
                                 UpdateCheck check) override;
    void didReceiveUserAttention(const AppcastItem& update) override;
    void willFinishUpdateSession() override;

    QCoro::Task<> postUpdateNotification(QString version);
    void setCanCheckForUpdates(bool canCheck);

    UserNotificationCenter& m_userNotifications;
    std::unique_ptr<StandardUserDriver> m_driver;
    std::unique_ptr<AppcastUpdater> m_updater;
    bool m_canCheckForUpdates = false;
};

// SPDX-License-Identifier: MIT
#pragma once

#include "AboutViewModel.h"
#include "WindowNavigator.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class NotificationCenter;
class ServiceRegistration;
class SoftwareUpdater;
class ThrottleService;
class UserDefaults;

// The settings window: the stored settings with their side effects (the
// login item, the auto-disable notification), automatic update checks, and
// the helper daemon's registration with its install and status check, plus
// the about sheet.
class SettingsViewModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool launchAtLogin READ launchAtLogin WRITE setLaunchAtLogin NOTIFY settingsChanged)
    Q_PROPERTY(bool showNotifications READ showNotifications WRITE setShowNotifications NOTIFY
                   settingsChanged)
    Q_PROPERTY(bool autoDisableOnQuit READ autoDisableOnQuit WRITE setAutoDisableOnQuit NOTIFY
                   settingsChanged)
    Q_PROPERTY(bool autoDisableEnabled READ autoDisableEnabled WRITE setAutoDisableEnabled NOTIFY
                   settingsChanged)
    Q_PROPERTY(QStringList durationChoices READ durationChoices CONSTANT)
    // -1 when the stored duration is none of the choices.
    Q_PROPERTY(int durationIndex READ durationIndex WRITE selectDuration NOTIFY settingsChanged)
    Q_PROPERTY(QString durationText READ durationText NOTIFY settingsChanged)

    Q_PROPERTY(bool automaticallyChecksForUpdates READ automaticallyChecksForUpdates WRITE
                   setAutomaticallyChecksForUpdates NOTIFY updaterChanged)
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY updaterChanged)

    Q_PROPERTY(HelperStatus helperStatus READ helperStatus NOTIFY helperChanged)
    Q_PROPERTY(QString helperStatusText READ helperStatusText NOTIFY helperChanged)
    Q_PROPERTY(bool isInstallingHelper READ isInstallingHelper NOTIFY helperChanged)
    Q_PROPERTY(bool offersInstall READ offersInstall NOTIFY helperChanged)
    // One sentence on what keeps the helper from working; empty when nothing does.
    Q_PROPERTY(QString helperMessage READ helperMessage NOTIFY helperChanged)
    Q_PROPERTY(bool offersRetry READ offersRetry NOTIFY helperChanged)
    Q_PROPERTY(bool offersReinstall READ offersReinstall NOTIFY helperChanged)
    Q_PROPERTY(bool showAdvancedHelper READ showAdvancedHelper NOTIFY helperChanged)

    Q_PROPERTY(bool showingHelperInstallAlert READ showingHelperInstallAlert NOTIFY alertsChanged)
    Q_PROPERTY(
        QString helperInstallAlertMessage READ helperInstallAlertMessage NOTIFY alertsChanged)
    Q_PROPERTY(bool showingLaunchAtLoginError READ showingLaunchAtLoginError NOTIFY alertsChanged)
    Q_PROPERTY(
        QString launchAtLoginErrorMessage READ launchAtLoginErrorMessage NOTIFY alertsChanged)

    Q_PROPERTY(bool showingAbout READ showingAbout NOTIFY showingAboutChanged)
    Q_PROPERTY(AboutViewModel* aboutViewModel READ aboutViewModel CONSTANT)

public:
    // Error: the last install failed.
    enum class HelperStatus {
        Checking,
        Installed,
        NotInstalled,
        NoSystemBus,
        NotResponding,
        Error
    };
    Q_ENUM(HelperStatus)

    // The minutes of each duration choice, in the order of durationChoices.
    static const QList<int>& durationMinutes();

    SettingsViewModel(UserDefaults& defaults, ThrottleService& throttleService,
                      ServiceRegistration& registration, SoftwareUpdater& updater,
                      NotificationCenter& notifications, WindowNavigator& navigator,
                      AboutViewModel* about = nullptr, QObject* parent = nullptr);

    bool launchAtLogin() const;
    // Registers or removes the login item; a failure sets the switch back
    // and explains why.
    void setLaunchAtLogin(bool enabled);
    bool showNotifications() const;
    void setShowNotifications(bool enabled);
    bool autoDisableOnQuit() const;
    void setAutoDisableOnQuit(bool enabled);
    bool autoDisableEnabled() const;
    // A tap on the switch: stored and announced.
    void setAutoDisableEnabled(bool enabled);
    QStringList durationChoices() const;
    int durationIndex() const;
    QString durationText() const;
    // Stored and announced when the choice changes the duration.
    void selectDuration(int index);

    bool automaticallyChecksForUpdates() const;
    void setAutomaticallyChecksForUpdates(bool enabled);
    bool canCheckForUpdates() const;

    HelperStatus helperStatus() const { return m_helperStatus; }
    QString helperStatusText() const;
    bool isInstallingHelper() const { return m_isInstallingHelper; }
    bool offersInstall() const { return m_helperStatus == HelperStatus::NotInstalled; }
    QString helperMessage() const { return m_helperMessage; }
    bool offersRetry() const;
    bool offersReinstall() const { return m_helperStatus == HelperStatus::Installed; }
    bool showAdvancedHelper() const { return m_showAdvancedHelper; }

    bool showingHelperInstallAlert() const { return m_showingHelperInstallAlert; }
    QString helperInstallAlertMessage() const;
    bool showingLaunchAtLoginError() const { return m_showingLaunchAtLoginError; }
    QString launchAtLoginErrorMessage() const;

    bool showingAbout() const { return m_showingAbout; }
    AboutViewModel* aboutViewModel() const { return m_about; }

    // Each appearance of the window checks the helper again.
    Q_INVOKABLE void appear() { checkHelperStatus(); }
    Q_INVOKABLE void checkForUpdates();
    Q_INVOKABLE void checkHelperStatus();
    Q_INVOKABLE void installHelper();
    // The failed install again, or the check that found the helper unusable.
    Q_INVOKABLE void tryAgain();
    Q_INVOKABLE void toggleAdvancedHelper();
    Q_INVOKABLE void dismissHelperInstallAlert();
    Q_INVOKABLE void dismissLaunchAtLoginError();
    Q_INVOKABLE void showAbout();
    Q_INVOKABLE void done();

Q_SIGNALS:
    void settingsChanged();
    void updaterChanged();
    void helperChanged();
    void alertsChanged();
    void showingAboutChanged();

private:
    QCoro::Task<> runInstall();
    QCoro::Task<> probeHelper();
    void setHelperStatus(HelperStatus status, const QString& message = {});
    void setBool(QLatin1StringView key, bool value);
    void postAutoDisableSetting(bool enabled, int minutes);

    UserDefaults& m_defaults;
    ThrottleService& m_throttleService;
    ServiceRegistration& m_registration;
    SoftwareUpdater& m_updater;
    NotificationCenter& m_notifications;
    WindowNavigator& m_navigator;
    AboutViewModel* m_about;

    HelperStatus m_helperStatus = HelperStatus::Checking;
    QString m_helperMessage;
    // Only the latest check may set the status.
    int m_helperCheck = 0;
    bool m_isInstallingHelper = false;
    bool m_showAdvancedHelper = false;
    bool m_showingHelperInstallAlert = false;
    // Absent after a successful install.
    std::optional<QString> m_helperInstallError;
    bool m_showingLaunchAtLoginError = false;
    QString m_launchAtLoginError;
    bool m_showingAbout = false;
};

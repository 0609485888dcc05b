// SPDX-License-Identifier: MIT
#pragma once

#include <QLatin1StringView>
#include <QObject>
#include <QString>

class ServiceRegistration;
class UserDefaults;

// The settings' General switches that are stored as they are: starting at
// login, which also registers or removes the login item, notifications,
// and disabling throttling on quit. Auto-disable has a model of its own.
class GeneralSettingsModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool launchAtLogin READ launchAtLogin WRITE setLaunchAtLogin NOTIFY changed)
    Q_PROPERTY(
        bool showNotifications READ showNotifications WRITE setShowNotifications NOTIFY changed)
    Q_PROPERTY(
        bool autoDisableOnQuit READ autoDisableOnQuit WRITE setAutoDisableOnQuit NOTIFY changed)
    Q_PROPERTY(bool showingLaunchAtLoginError READ showingLaunchAtLoginError NOTIFY
                   launchAtLoginErrorChanged)
    Q_PROPERTY(QString launchAtLoginErrorMessage READ launchAtLoginErrorMessage NOTIFY
                   launchAtLoginErrorChanged)

public:
    GeneralSettingsModel(UserDefaults& defaults, ServiceRegistration& registration,
                         QObject* parent = nullptr);

    bool launchAtLogin() const;
    // Registers or removes the login item; a failure sets the switch back
    // and explains why.
    void setLaunchAtLogin(bool enabled);
    bool showNotifications() const;
    void setShowNotifications(bool enabled);
    bool autoDisableOnQuit() const;
    void setAutoDisableOnQuit(bool enabled);

    bool showingLaunchAtLoginError() const { return m_showingLaunchAtLoginError; }
    QString launchAtLoginErrorMessage() const;
    Q_INVOKABLE void dismissLaunchAtLoginError();

Q_SIGNALS:
    void changed();
    void launchAtLoginErrorChanged();

private:
    void setBool(QLatin1StringView key, bool value);

    UserDefaults& m_defaults;
    ServiceRegistration& m_registration;
    bool m_showingLaunchAtLoginError = false;
    QString m_launchAtLoginError;
};

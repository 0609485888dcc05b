// SPDX-License-Identifier: MIT
#pragma once

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>

#include <optional>

class ServiceRegistration;
class ThrottleService;

// The settings' Privileged Helper section: the helper daemon's registration
// as a status with its sentence, the install that status calls for, the
// advanced reinstall and status check, and the alert that ends an install.
class HelperSettingsModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(HelperStatus status READ status NOTIFY changed)
    Q_PROPERTY(QString statusText READ statusText NOTIFY changed)
    Q_PROPERTY(bool isInstalling READ isInstalling NOTIFY changed)
    Q_PROPERTY(bool offersInstall READ offersInstall NOTIFY changed)
    // One sentence on what keeps the helper from working; empty when nothing does.
    Q_PROPERTY(QString message READ message NOTIFY changed)
    Q_PROPERTY(bool offersRetry READ offersRetry NOTIFY changed)
    Q_PROPERTY(bool offersReinstall READ offersReinstall NOTIFY changed)
    Q_PROPERTY(bool showsAdvanced READ showsAdvanced NOTIFY changed)
    Q_PROPERTY(bool showingInstallAlert READ showingInstallAlert NOTIFY installAlertChanged)
    Q_PROPERTY(QString installAlertMessage READ installAlertMessage NOTIFY installAlertChanged)

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

    HelperSettingsModel(ThrottleService& throttleService, ServiceRegistration& registration,
                        QObject* parent = nullptr);

    HelperStatus status() const { return m_status; }
    QString statusText() const;
    bool isInstalling() const { return m_isInstalling; }
    bool offersInstall() const { return m_status == HelperStatus::NotInstalled; }
    QString message() const { return m_message; }
    bool offersRetry() const;
    bool offersReinstall() const { return m_status == HelperStatus::Installed; }
    bool showsAdvanced() const { return m_showsAdvanced; }

    bool showingInstallAlert() const { return m_showingInstallAlert; }
    QString installAlertMessage() const;

    Q_INVOKABLE void checkStatus();
    Q_INVOKABLE void install();
    // The failed install again, or the check that found the helper unusable.
    Q_INVOKABLE void tryAgain();
    Q_INVOKABLE void toggleAdvanced();
    Q_INVOKABLE void dismissInstallAlert();

Q_SIGNALS:
    void changed();
    void installAlertChanged();

private:
    QCoro::Task<> runInstall();
    QCoro::Task<> probeHelper();
    void setStatus(HelperStatus status, const QString& message = {});

    ThrottleService& m_throttleService;
    ServiceRegistration& m_registration;

    HelperStatus m_status = HelperStatus::Checking;
    QString m_message;
    // Only the latest check may set the status.
    int m_check = 0;
    bool m_isInstalling = false;
    bool m_showsAdvanced = false;
    bool m_showingInstallAlert = false;
    // Absent after a successful install.
    std::optional<QString> m_installError;
};

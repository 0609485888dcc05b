// SPDX-License-Identifier: MIT
#pragma once

#include "BusEndpoint.h"
#include "ServiceRegistration.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

// Where registration finds the bus, its tools and the login item.
struct SystemServicePaths {
    BusEndpoint bus;
    QString pkexec = QStringLiteral("/usr/bin/pkexec");
    // Absolute, as pkexec requires; run with the arguments below.
    QString installer;
    QStringList installerArguments;
    // <config home>/autostart/veltrane.desktop
    QString autostartEntry;
    // What the login item starts.
    QString application;
    std::function<void(const QUrl&)> openUrl;

    // The installed locations, with the installer of this build.
    static SystemServicePaths standard();
};

// Service registration on this machine. The daemon is enabled when the bus
// can start it (its name is activatable or owned) and not registered
// otherwise; registering runs the project's installer as root through
// pkexec. The login item is an XDG autostart entry.
class SystemServiceRegistration final : public ServiceRegistration {
public:
    using Paths = SystemServicePaths;

    explicit SystemServiceRegistration(Paths paths = Paths::standard());
    ~SystemServiceRegistration() override;

    ServiceStatus daemonStatus() const override;
    QCoro::Task<std::optional<RegistrationError>> registerDaemon() override;

    ServiceStatus loginItemStatus() const override;
    std::optional<RegistrationError> registerLoginItem() override;
    std::optional<RegistrationError> unregisterLoginItem() override;

    void openSystemSettingsLoginItems() override;

    static inline const QString errorDomain = QStringLiteral("com.veltrane.ServiceRegistration");

private:
    Paths m_paths;
    QString m_connectionName;
};

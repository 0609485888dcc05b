// SPDX-License-Identifier: MIT
#pragma once

#include "BusEndpoint.h"
#include "ServiceRegistration.h"

#include <QString>

// Where registration finds the bus, its tools and the login item.
struct SystemServicePaths {
    BusEndpoint bus;
    QString pkexec = QStringLiteral("/usr/bin/pkexec");
    // The installed installer, run as root without arguments. It must be
    // root's alone (see registerDaemon()).
    QString installer;
    // <config home>/autostart/veltrane.desktop
    QString autostartEntry;
    // What the login item starts.
    QString application;

    // The installed locations.
    static SystemServicePaths standard();
};

// Service registration on this machine. The daemon is enabled when the bus
// can start it (its name is activatable or owned), not registered when it
// cannot, and unknown (busUnreachable) without a bus to ask; registering runs the installed
// installer as root through pkexec. The login item is an XDG autostart entry. Nothing here needs
// the user's approval after registering, so requiresApproval never comes up.
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

    static inline const QString errorDomain = QStringLiteral("com.veltrane.ServiceRegistration");

private:
    Paths m_paths;
    QString m_connectionName;
};

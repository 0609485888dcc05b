// SPDX-License-Identifier: MIT
#pragma once

#include "ServiceRegistration.h"

#include <QCoro/QCoroTask>
#include <QObject>

// Sees that the helper daemon is registered and enabled with the system,
// registering it when it is not.
class HelperInstaller final : public QObject {
    Q_OBJECT

public:
    explicit HelperInstaller(ServiceRegistration& registration, QObject* parent = nullptr);

    bool isDaemonEnabled() const;
    // Registers the daemon unless it is enabled. Throws a helperError when
    // registering failed, or when the system has yet to approve the daemon,
    // before registering or after; never registers a daemon awaiting
    // approval again. Returns whether the daemon is enabled now: false only
    // when this object went while registering.
    QCoro::Task<bool> install();

private:
    ServiceRegistration& m_registration;
};

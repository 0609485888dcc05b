// SPDX-License-Identifier: MIT
#include "HelperInstaller.h"

#include "ThrottleError.h"

#include <QPointer>

#include <optional>

namespace {

ThrottleError approvalError() {
    return ThrottleError::helperError(
        QStringLiteral("The helper is installed, but the system bus does not start it yet. Run "
                       "scripts/install-helper as root, or reinstall the Veltrane package."));
}

} // namespace

HelperInstaller::HelperInstaller(ServiceRegistration& registration, QObject* parent)
    : QObject(parent)
    , m_registration(registration) {}

bool HelperInstaller::isDaemonEnabled() const {
    return m_registration.daemonStatus() == ServiceStatus::enabled;
}

QCoro::Task<bool> HelperInstaller::install() {
    const ServiceStatus status = m_registration.daemonStatus();
    if (status == ServiceStatus::enabled) {
        co_return true;
    }
    if (status == ServiceStatus::requiresApproval) {
        throw approvalError();
    }
    const QPointer<HelperInstaller> alive(this);
    const std::optional<RegistrationError> failure = co_await m_registration.registerDaemon();
    if (failure) {
        // Only the log reads this: the views say what to do from the status.
        throw ThrottleError::helperError(QStringLiteral("Could not register the helper (%1 %2): %3")
                                             .arg(failure->domain)
                                             .arg(failure->code)
                                             .arg(failure->description));
    }
    if (!alive) {
        co_return false;
    }
    if (!isDaemonEnabled()) {
        throw approvalError();
    }
    co_return true;
}

// SPDX-License-Identifier: MIT
#include "HelperSettingsModel.h"

#include "HelperInstallation.h"
#include "ServiceRegistration.h"
#include "ThrottleService.h"

#include <QPointer>

HelperSettingsModel::HelperSettingsModel(ThrottleService& throttleService,
                                         ServiceRegistration& registration, QObject* parent)
    : QObject(parent)
    , m_throttleService(throttleService)
    , m_registration(registration) {}

QString HelperSettingsModel::statusText() const {
    switch (m_status) {
    case HelperStatus::Checking:
        return QStringLiteral("Checking…");
    case HelperStatus::Installed:
        return QStringLiteral("Installed");
    case HelperStatus::NotInstalled:
        return QStringLiteral("Not Installed");
    case HelperStatus::NoSystemBus:
        return QStringLiteral("No System Bus");
    case HelperStatus::NotResponding:
        return QStringLiteral("Not Responding");
    case HelperStatus::Error:
        return QStringLiteral("Install Failed");
    }
    return {};
}

bool HelperSettingsModel::offersRetry() const {
    return m_status == HelperStatus::NoSystemBus || m_status == HelperStatus::NotResponding ||
           m_status == HelperStatus::Error;
}

void HelperSettingsModel::checkStatus() {
    ++m_check;
    setStatus(HelperStatus::Checking);
    const ServiceStatus status = m_registration.daemonStatus();
    switch (status) {
    case ServiceStatus::enabled:
        probeHelper();
        return;
    case ServiceStatus::requiresApproval:
        setStatus(HelperStatus::NotResponding, ServiceRegistration::unavailableText(status));
        return;
    case ServiceStatus::notRegistered:
    case ServiceStatus::notFound:
        setStatus(HelperStatus::NotInstalled);
        return;
    case ServiceStatus::busUnreachable:
        setStatus(HelperStatus::NoSystemBus, ServiceRegistration::unavailableText(status));
        return;
    }
}

QCoro::Task<> HelperSettingsModel::probeHelper() {
    const QPointer<HelperSettingsModel> self(this);
    const int check = m_check;
    const bool answered = co_await helperAnswers(m_throttleService.helperConnection());
    if (!self || check != m_check) {
        co_return;
    }
    if (answered) {
        setStatus(HelperStatus::Installed);
    } else {
        setStatus(HelperStatus::NotResponding,
                  ServiceRegistration::unavailableText(ServiceStatus::enabled));
    }
}

void HelperSettingsModel::install() {
    // One installation at a time: a second one would ask for the password again.
    if (!m_isInstalling) {
        runInstall();
    }
}

void HelperSettingsModel::tryAgain() {
    if (m_status == HelperStatus::Error) {
        install();
    } else {
        checkStatus();
    }
}

QCoro::Task<> HelperSettingsModel::runInstall() {
    const QPointer<HelperSettingsModel> self(this);
    m_isInstalling = true;
    ++m_check;
    Q_EMIT changed();
    const std::optional<QString> failure = co_await installHelperReportingFailure(
        m_throttleService.helperConnection(), m_registration);
    if (!self) {
        co_return;
    }
    m_isInstalling = false;
    if (failure) {
        setStatus(HelperStatus::Error, *failure);
    } else {
        m_throttleService.checkHelperStatus();
        setStatus(HelperStatus::Installed);
    }
    m_installError = failure;
    m_showingInstallAlert = true;
    Q_EMIT installAlertChanged();
}

void HelperSettingsModel::toggleAdvanced() {
    m_showsAdvanced = !m_showsAdvanced;
    Q_EMIT changed();
}

QString HelperSettingsModel::installAlertMessage() const {
    return m_installError ? *m_installError : QStringLiteral("Helper installed successfully!");
}

void HelperSettingsModel::dismissInstallAlert() {
    m_showingInstallAlert = false;
    Q_EMIT installAlertChanged();
}

void HelperSettingsModel::setStatus(HelperStatus status, const QString& message) {
    m_status = status;
    m_message = message;
    Q_EMIT changed();
}

// SPDX-License-Identifier: MIT
#include "PanelHelperWarning.h"

#include "HelperInstallation.h"
#include "ThrottleService.h"

#include <QPointer>

PanelHelperWarning::PanelHelperWarning(ThrottleService& throttleService,
                                       const ServiceRegistration& registration, QObject* parent)
    : QObject(parent)
    , m_throttleService(throttleService)
    , m_registration(registration) {
    connect(&m_throttleService, &ThrottleService::stateChanged, this, &PanelHelperWarning::changed);
}

bool PanelHelperWarning::isShown() const {
    return !m_throttleService.state().isHelperReady || m_helperSilent;
}

QString PanelHelperWarning::text() const {
    return ServiceRegistration::unavailableText(m_helperSilent ? ServiceStatus::enabled
                                                               : m_helperStatus);
}

bool PanelHelperWarning::offersInstall() const {
    return !m_helperSilent && (m_helperStatus == ServiceStatus::notRegistered ||
                               m_helperStatus == ServiceStatus::notFound);
}

void PanelHelperWarning::appear() {
    m_throttleService.checkHelperStatus();
    m_helperStatus = m_registration.daemonStatus();
    m_helperSilent = false;
    ++m_helperProbe;
    Q_EMIT changed();
    if (m_helperStatus == ServiceStatus::enabled) {
        probeHelper();
    }
}

QCoro::Task<> PanelHelperWarning::probeHelper() {
    const QPointer<PanelHelperWarning> self(this);
    const int probe = m_helperProbe;
    const bool answered = co_await helperAnswers(m_throttleService.helperConnection());
    if (self && probe == m_helperProbe && !answered) {
        m_helperSilent = true;
        Q_EMIT changed();
    }
}

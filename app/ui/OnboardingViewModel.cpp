// SPDX-License-Identifier: MIT
#include "OnboardingViewModel.h"

#include "HelperInstallation.h"
#include "ServiceRegistration.h"
#include "SettingsKeys.h"
#include "UserDefaults.h"

#include <QOperatingSystemVersion>
#include <QPointer>

int OnboardingViewModel::currentSystemMajorVersion() {
    return QOperatingSystemVersion::current().majorVersion();
}

OnboardingViewModel::OnboardingViewModel(UserDefaults& defaults, HelperClient& helper,
                                         ServiceRegistration& registration,
                                         WindowNavigator& navigator, int systemMajorVersion,
                                         std::chrono::milliseconds pollInterval, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_helper(helper)
    , m_registration(registration)
    , m_navigator(navigator)
    , m_systemMajorVersion(systemMajorVersion) {
    m_pollTimer.setInterval(pollInterval);
    connect(&m_pollTimer, &QTimer::timeout, this, &OnboardingViewModel::poll);
}

QString OnboardingViewModel::installButtonText() const {
    return m_isInstalling ? QStringLiteral("Installing…") : QStringLiteral("Install Helper");
}

// On Linux a helper is ready once the system bus can start it: what is left
// to do is the installer's (or the package's), not a switch in a settings pane.
QString OnboardingViewModel::paneName() const {
    return QStringLiteral("System Bus");
}

QString OnboardingViewModel::sectionName() const {
    return QStringLiteral("Services It Starts");
}

QString OnboardingViewModel::approvalTitle() const {
    return QStringLiteral("Let the System Bus Start the Helper");
}

QString OnboardingViewModel::approvalInstruction() const {
    return QStringLiteral(
        "Run <b>scripts/install-helper</b> as root, or reinstall the Veltrane package");
}

void OnboardingViewModel::getStarted() {
    if (m_step == Welcome) {
        moveTo(InstallHelper);
    }
}

void OnboardingViewModel::installHelper() {
    if (m_step == InstallHelper && !m_isInstalling) {
        runInstall();
    }
}

QCoro::Task<> OnboardingViewModel::runInstall() {
    const QPointer<OnboardingViewModel> self(this);
    m_isInstalling = true;
    m_errorMessage.clear();
    Q_EMIT installChanged();
    const std::optional<QString> failure = co_await installHelperReportingFailure(m_helper);
    if (!self) {
        co_return;
    }
    m_isInstalling = false;
    if (!failure) {
        moveTo(Done);
    } else if (m_registration.daemonStatus() == ServiceStatus::requiresApproval) {
        // Not an error: the user has one more thing to do.
        moveTo(Approval);
    } else {
        m_errorMessage = *failure;
    }
    Q_EMIT installChanged();
}

void OnboardingViewModel::openSystemSettings() {
    m_registration.openSystemSettingsLoginItems();
}

void OnboardingViewModel::finish() {
    m_defaults.setValue(SettingsKeys::hasCompletedOnboarding, true);
    m_navigator.closeWindow(WindowNavigator::onboarding);
}

void OnboardingViewModel::setShown(bool shown) {
    m_shown = shown;
    updatePolling();
}

void OnboardingViewModel::poll() {
    if (m_registration.daemonStatus() != ServiceStatus::enabled) {
        return;
    }
    // Stopped before the install is awaited, so later ticks cannot repeat it.
    m_approved = true;
    updatePolling();
    finishApproved();
}

QCoro::Task<> OnboardingViewModel::finishApproved() {
    const QPointer<OnboardingViewModel> self(this);
    // Approved is approved: a failure here only means the helper connects
    // on first use instead.
    co_await installHelperReportingFailure(m_helper);
    if (self) {
        moveTo(Done);
    }
}

void OnboardingViewModel::moveTo(Step step) {
    if (step <= m_step) {
        return;
    }
    m_step = step;
    Q_EMIT currentStepChanged();
    updatePolling();
}

void OnboardingViewModel::updatePolling() {
    const bool wanted = m_shown && m_step == Approval && !m_approved;
    if (wanted == m_pollTimer.isActive()) {
        return;
    }
    if (wanted) {
        m_pollTimer.start();
    } else {
        m_pollTimer.stop();
    }
    Q_EMIT isPollingChanged();
}

// SPDX-License-Identifier: MIT
#include "OnboardingViewModel.h"

#include "HelperInstallation.h"
#include "ServiceRegistration.h"
#include "SettingsKeys.h"
#include "UserDefaults.h"

#include <QPointer>

OnboardingViewModel::OnboardingViewModel(UserDefaults& defaults, HelperClient& helper,
                                         ServiceRegistration& registration,
                                         WindowNavigator& navigator, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_helper(helper)
    , m_registration(registration)
    , m_navigator(navigator) {}

QString OnboardingViewModel::installButtonText() const {
    return m_isInstalling ? QStringLiteral("Installing…") : QStringLiteral("Install Helper");
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
    const std::optional<QString> failure =
        co_await installHelperReportingFailure(m_helper, m_registration);
    if (!self) {
        co_return;
    }
    m_isInstalling = false;
    if (failure) {
        m_errorMessage = *failure;
    } else {
        moveTo(Done);
    }
    Q_EMIT installChanged();
}

void OnboardingViewModel::finish() {
    m_defaults.setValue(SettingsKeys::hasCompletedOnboarding, true);
    m_navigator.closeWindow(WindowNavigator::onboarding);
}

void OnboardingViewModel::moveTo(Step step) {
    if (step <= m_step) {
        return;
    }
    m_step = step;
    Q_EMIT currentStepChanged();
}

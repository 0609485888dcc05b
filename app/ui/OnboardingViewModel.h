// SPDX-License-Identifier: MIT
#pragma once

#include "WindowNavigator.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>

class HelperClient;
class ServiceRegistration;
class UserDefaults;

// The first-run walk-through: welcome, install the helper, done. Steps only
// move forward. Nothing here asks the user to approve the helper: once
// installed, the system bus starts it.
class OnboardingViewModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(int currentStep READ currentStep NOTIFY currentStepChanged)
    Q_PROPERTY(int totalSteps READ totalSteps CONSTANT)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY installChanged)
    Q_PROPERTY(bool isInstalling READ isInstalling NOTIFY installChanged)
    Q_PROPERTY(QString installButtonText READ installButtonText NOTIFY installChanged)
    // The window stays above ordinary windows while it is open.
    Q_PROPERTY(bool keepsAboveOtherWindows READ keepsAboveOtherWindows CONSTANT)

public:
    enum Step { Welcome = 0, InstallHelper = 1, Done = 2 };
    Q_ENUM(Step)

    OnboardingViewModel(UserDefaults& defaults, HelperClient& helper,
                        ServiceRegistration& registration, WindowNavigator& navigator,
                        QObject* parent = nullptr);

    int currentStep() const { return m_step; }
    int totalSteps() const { return Done + 1; }
    QString errorMessage() const { return m_errorMessage; }
    bool isInstalling() const { return m_isInstalling; }
    QString installButtonText() const;
    bool keepsAboveOtherWindows() const { return true; }

    Q_INVOKABLE void getStarted();
    Q_INVOKABLE void installHelper();
    // Stores that onboarding is complete and closes the window.
    Q_INVOKABLE void finish();

Q_SIGNALS:
    void currentStepChanged();
    void installChanged();

private:
    QCoro::Task<> runInstall();
    void moveTo(Step step);

    UserDefaults& m_defaults;
    HelperClient& m_helper;
    ServiceRegistration& m_registration;
    WindowNavigator& m_navigator;
    Step m_step = Welcome;
    QString m_errorMessage;
    bool m_isInstalling = false;
};

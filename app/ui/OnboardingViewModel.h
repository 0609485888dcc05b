// SPDX-License-Identifier: MIT
#pragma once

#include "WindowNavigator.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

class HelperClient;
class ServiceRegistration;
class UserDefaults;

// The first-run walk-through: welcome, install the helper, approve it where
// the system asks for that, done. Steps only move forward. While the approval
// step is on screen the registration is polled until the user approves.
class OnboardingViewModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(int currentStep READ currentStep NOTIFY currentStepChanged)
    Q_PROPERTY(int totalSteps READ totalSteps CONSTANT)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY installChanged)
    Q_PROPERTY(bool isInstalling READ isInstalling NOTIFY installChanged)
    Q_PROPERTY(QString installButtonText READ installButtonText NOTIFY installChanged)
    Q_PROPERTY(bool isPolling READ isPolling NOTIFY isPollingChanged)
    Q_PROPERTY(QString paneName READ paneName CONSTANT)
    Q_PROPERTY(QString sectionName READ sectionName CONSTANT)
    Q_PROPERTY(QString approvalTitle READ approvalTitle CONSTANT)
    // Styled text: the application's name is bold.
    Q_PROPERTY(QString approvalInstruction READ approvalInstruction CONSTANT)
    // The window stays above ordinary windows while it is open.
    Q_PROPERTY(bool keepsAboveOtherWindows READ keepsAboveOtherWindows CONSTANT)

public:
    enum Step { Welcome = 0, InstallHelper = 1, Approval = 2, Done = 3 };
    Q_ENUM(Step)

    // The major version of the operating system, which names the settings
    // where the user approves background items.
    static int currentSystemMajorVersion();

    OnboardingViewModel(UserDefaults& defaults, HelperClient& helper,
                        ServiceRegistration& registration, WindowNavigator& navigator,
                        int systemMajorVersion = currentSystemMajorVersion(),
                        std::chrono::milliseconds pollInterval = std::chrono::seconds(2),
                        QObject* parent = nullptr);

    int currentStep() const { return m_step; }
    int totalSteps() const { return 4; }
    QString errorMessage() const { return m_errorMessage; }
    bool isInstalling() const { return m_isInstalling; }
    QString installButtonText() const;
    bool isPolling() const { return m_pollTimer.isActive(); }
    QString paneName() const;
    QString sectionName() const;
    QString approvalTitle() const;
    QString approvalInstruction() const;
    bool keepsAboveOtherWindows() const { return true; }

    Q_INVOKABLE void getStarted();
    Q_INVOKABLE void installHelper();
    Q_INVOKABLE void openSystemSettings();
    // Stores that onboarding is complete and closes the window.
    Q_INVOKABLE void finish();
    // The view reports whether its window is on screen: nothing is polled
    // for a window that is gone.
    Q_INVOKABLE void setShown(bool shown);

Q_SIGNALS:
    void currentStepChanged();
    void installChanged();
    void isPollingChanged();

private:
    QCoro::Task<> runInstall();
    void poll();
    QCoro::Task<> finishApproved();
    void moveTo(Step step);
    void updatePolling();

    UserDefaults& m_defaults;
    HelperClient& m_helper;
    ServiceRegistration& m_registration;
    WindowNavigator& m_navigator;
    int m_systemMajorVersion;
    Step m_step = Welcome;
    QString m_errorMessage;
    bool m_isInstalling = false;
    bool m_shown = true;
    bool m_approved = false;
    QTimer m_pollTimer;
};

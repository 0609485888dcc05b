// SPDX-License-Identifier: MIT
#pragma once

#include "AboutViewModel.h"
#include "ControlFakes.h"
#include "NotificationCenter.h"
#include "OnboardingViewModel.h"
#include "ProfileEditorState.h"
#include "ProfileListViewModel.h"
#include "ProfileManager.h"
#include "SettingsViewModel.h"
#include "SoftwareUpdater.h"
#include "ThrottleService.h"
#include "UserDefaults.h"
#include "WindowNavigator.h"

#include <QCoreApplication>
#include <QDate>
#include <QDeadlineTimer>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>

#include <chrono>
#include <memory>
#include <utility>
#include <vector>

class FakeWindowNavigator final : public WindowNavigator {
public:
    QStringList opened;
    QStringList closed;

    void openWindow(const QString& identifier) override { opened << identifier; }
    void closeWindow(const QString& identifier) override { closed << identifier; }
};

class FakeSoftwareUpdater final : public SoftwareUpdater {
public:
    int checks = 0;

    bool canCheckForUpdates() const override { return m_canCheck; }
    bool automaticallyChecksForUpdates() const override { return m_automatic; }
    void setAutomaticallyChecksForUpdates(bool enabled) override {
        m_automatic = enabled;
        Q_EMIT automaticallyChecksForUpdatesChanged(enabled);
    }
    void checkForUpdates() override { ++checks; }

    void setCanCheck(bool canCheck) {
        m_canCheck = canCheck;
        Q_EMIT canCheckForUpdatesChanged(canCheck);
    }

private:
    bool m_canCheck = true;
    bool m_automatic = true;
};

// Everything the windows' view models are built from, in a temporary
// folder, with fakes for the machine's services. The registration starts
// with the helper not installed; an install enables it.
struct WindowServices {
    QTemporaryDir folder;
    UserDefaults defaults{folder.filePath("Veltrane.json")};
    ProfileManager profiles{defaults, folder.path(), QString()};
    ProfileEditorState editorState;
    FakeWindowNavigator navigator;
    FakeServiceRegistration registration;
    FakeHelperClient helper;
    NotificationCenter notifications;
    ThrottleService throttleService{helper, registration, notifications};
    FakeSoftwareUpdater updater;
    AboutViewModel about{QStringLiteral("1.0.0"), QString(), QDate(2026, 12, 7)};
    std::vector<std::pair<QString, QVariantMap>> posted;

    WindowServices() {
        registration.status = ServiceStatus::notRegistered;
        helper.registration = &registration;
        profiles.loadBuiltInProfiles();
        profiles.loadCustomProfiles();
        QObject::connect(&notifications, &NotificationCenter::posted,
                         [this](const QString& name, const QVariantMap& userInfo) {
                             posted.emplace_back(name, userInfo);
                         });
    }

    std::unique_ptr<ProfileListViewModel> profileList() {
        return std::make_unique<ProfileListViewModel>(profiles, editorState, navigator);
    }
    std::unique_ptr<SettingsViewModel> settings() {
        return std::make_unique<SettingsViewModel>(defaults, throttleService, registration, updater,
                                                   notifications, navigator, &about);
    }
    std::unique_ptr<OnboardingViewModel>
    onboarding(int systemMajorVersion = 15,
               std::chrono::milliseconds pollInterval = std::chrono::milliseconds(10)) {
        return std::make_unique<OnboardingViewModel>(defaults, helper, registration, navigator,
                                                     systemMajorVersion, pollInterval);
    }

    ThrottleProfile addCustom(const QString& name, std::optional<std::int64_t> latency = 100,
                              bool showInMenu = true) {
        ThrottleProfile profile(QUuid::createUuid(), name, Bandwidth{2, BandwidthUnit::mbps},
                                std::nullopt, latency, std::nullopt, std::nullopt, false,
                                showInMenu);
        profiles.createProfile(profile);
        return profile;
    }
};

// Runs the event loop until the condition holds or a generous bound passes.
template <typename Condition>
bool eventually(Condition condition, int boundMs = 5000) {
    const QDeadlineTimer deadline(boundMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

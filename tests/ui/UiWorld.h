// SPDX-License-Identifier: MIT
#pragma once

#include "AboutViewModel.h"
#include "AppFakes.h"
#include "ApplicationNames.h"
#include "ApplicationPickerModel.h"
#include "ControlFakes.h"
#include "DestinationResolver.h"
#include "FakeUserUnits.h"
#include "LaunchThrottledModel.h"
#include "MenuBarViewModel.h"
#include "OnboardingViewModel.h"
#include "ProfileEditorState.h"
#include "ProfileEditorViewModel.h"
#include "ProfileListViewModel.h"
#include "ProfileManager.h"
#include "RunningApplications.h"
#include "SettingsViewModel.h"
#include "SoftwareUpdater.h"
#include "StatePersistenceService.h"
#include "ThrottleService.h"
#include "UserDefaults.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QVariantMap>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

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

// Everything the views' models are built from, over fakes for the helper,
// its registration (an enabled daemon), the windows, the updater and the
// clock, with the settings and the custom profiles in a folder of its own.
struct UiWorld {
    QTemporaryDir home;
    UserDefaults defaults{home.filePath("settings.json")};
    StatePersistenceService persistence{defaults};
    ProfileManager profiles{defaults, home.path(), QString()};
    FakeServiceRegistration registration;
    FakeHelperClient helper;
    NotificationCenter notifications;
    QDateTime now = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);
    ThrottleService service{helper, registration, notifications, [this] { return now; }};
    ProfileEditorState editorState;
    FakeWindowNavigator navigator;
    FakeSoftwareUpdater updater;
    AboutViewModel about{"1.0.0", QString(), QDate(2026, 12, 7)};
    // Every notification posted, with its information.
    std::vector<std::pair<QString, QVariantMap>> posted;
    int quits = 0;
    // The desktop's applications: entries installed in a folder of the
    // world's own, the running ones in its fake user manager.
    const QString applicationsFolder = home.filePath(QStringLiteral("applications"));
    FakeUserUnits userUnits;
    RunningApplications running{userUnits,
                                DesktopEntries({applicationsFolder}, QStringLiteral("C")),
                                ProcessCgroups(home.filePath(QStringLiteral("proc")),
                                               home.filePath(QStringLiteral("cgroup")))};
    ApplicationPickerModel picker{running};
    LaunchThrottledModel launcher{userUnits,
                                  DesktopEntries({applicationsFolder}, QStringLiteral("C")),
                                  ProcessCgroups(home.filePath(QStringLiteral("proc")),
                                                 home.filePath(QStringLiteral("cgroup"))),
                                  PanelApplications::throttlerFor(service, profiles)};
    ApplicationNames applicationNames{DesktopEntries({applicationsFolder}, QStringLiteral("C"))};

    UiWorld() {
        helper.registration = &registration; // an install enables the daemon
        profiles.loadBuiltInProfiles();
        profiles.loadCustomProfiles();
        service.checkHelperStatus();
        // Host names resolve to a documentation address: no test asks a
        // real resolver.
        service.setResolver(
            DestinationResolver(std::chrono::seconds(1),
                                [](QString, std::chrono::milliseconds) -> QCoro::Task<QStringList> {
                                    co_return QStringList{QStringLiteral("192.0.2.7")};
                                }));
        QObject::connect(&notifications, &NotificationCenter::posted,
                         [this](const QString& name, const QVariantMap& userInfo) {
                             posted.emplace_back(name, userInfo);
                         });
    }

    std::unique_ptr<MenuBarViewModel> panel() {
        auto panel = std::make_unique<MenuBarViewModel>(
            service, registration, profiles, editorState, defaults, persistence, notifications,
            navigator, [this] { ++quits; }, [this] { return now; });
        panel->setApplications(picker, launcher, applicationNames);
        return panel;
    }
    std::unique_ptr<ProfileEditorViewModel> editor() {
        return std::make_unique<ProfileEditorViewModel>(
            editorState, profiles, navigator,
            DesktopEntries({applicationsFolder}, QStringLiteral("C")));
    }
    std::unique_ptr<ProfileListViewModel> profileList() {
        return std::make_unique<ProfileListViewModel>(profiles, editorState, navigator,
                                                      &applicationNames);
    }
    std::unique_ptr<SettingsViewModel> settings() {
        return std::make_unique<SettingsViewModel>(defaults, service, registration, updater,
                                                   notifications, navigator, &about);
    }
    std::unique_ptr<OnboardingViewModel> onboarding() {
        return std::make_unique<OnboardingViewModel>(defaults, helper, registration, navigator);
    }

    // Adds a custom profile with a bandwidth limit and returns it.
    ThrottleProfile addCustom(const QString& name, bool showInMenu = true,
                              std::optional<std::int64_t> latency = 100) {
        const ThrottleProfile profile(QUuid::createUuid(), name, Bandwidth{2, BandwidthUnit::mbps},
                                      std::nullopt, latency, std::nullopt, std::nullopt, false,
                                      showInMenu);
        profiles.createProfile(profile);
        return profile;
    }
    // A profile of the store by name.
    ThrottleProfile named(const QString& name) const {
        for (const ThrottleProfile& profile : profiles.allProfiles()) {
            if (profile.name == name) {
                return profile;
            }
        }
        throw std::logic_error("no profile " + name.toStdString());
    }
    // An application installed with a desktop entry, running in a scope
    // as GNOME starts one.
    void runApplication(const QString& desktopId, const QString& name, const QString& icon = {},
                        int instance = 1) {
        QDir().mkpath(applicationsFolder);
        QFile entry(applicationsFolder + u'/' + desktopId + QStringLiteral(".desktop"));
        if (!entry.open(QIODevice::WriteOnly) ||
            entry.write(
                QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nIcon=%2\nExec=%3\n")
                    .arg(name, icon, desktopId)
                    .toUtf8()) < 0) {
            throw std::runtime_error("cannot write " + entry.fileName().toStdString());
        }
        userUnits.run(QStringLiteral("app-gnome-%1-%2.scope")
                          .arg(QString(desktopId).replace(u'-', QStringLiteral("\\x2d")))
                          .arg(instance));
    }
    // Another client's throttle of the destinations typed, beside those on.
    void startElsewhere(const QString& owner, ThrottleParameters parameters,
                        const std::vector<std::string>& typed) {
        ThrottleScope scope;
        for (const std::string& text : typed) {
            std::string failure;
            scope.destinations.push_back(*Destination::parse(text, failure));
            scope.names.push_back(text);
        }
        helper.takenBy(FakeHelperClient::ownerOf(owner, false, false), parameters, scope);
    }
};

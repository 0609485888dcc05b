// SPDX-License-Identifier: MIT
#pragma once

#include "ControlFakes.h"
#include "MenuBarViewModel.h"
#include "ProfileEditorState.h"
#include "ProfileEditorViewModel.h"
#include "ProfileManager.h"
#include "ThrottleService.h"
#include "UserDefaults.h"
#include "WindowNavigator.h"

#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <stdexcept>

// A navigator that records which windows were opened and closed.
class FakeWindowNavigator final : public WindowNavigator {
public:
    QStringList opened;
    QStringList closed;

    void openWindow(const QString& identifier) override { opened << identifier; }
    void closeWindow(const QString& identifier) override { closed << identifier; }
};

// Everything the panel and the editor are built from, over fakes for the
// helper, its registration, the windows and the clock, with the settings
// and the custom profiles in a folder of its own.
template <typename Helper = FakeHelperClient>
struct PanelWorldOf {
    QTemporaryDir home;
    UserDefaults defaults{home.filePath(QStringLiteral("settings.json"))};
    ProfileManager profiles{defaults, home.path(), QString()};
    FakeServiceRegistration registration;
    Helper helper;
    NotificationCenter notifications;
    QDateTime now = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);
    ThrottleService service{helper, registration, notifications, [this] { return now; }};
    ProfileEditorState editorState;
    FakeWindowNavigator navigator;
    int quits = 0;

    PanelWorldOf() {
        profiles.loadBuiltInProfiles();
        profiles.loadCustomProfiles();
        service.checkHelperStatus();
    }

    std::unique_ptr<MenuBarViewModel> panel() {
        return std::make_unique<MenuBarViewModel>(
            service, profiles, editorState, defaults, notifications, navigator, [this] { ++quits; },
            [this] { return now; });
    }
    std::unique_ptr<ProfileEditorViewModel> editor() {
        return std::make_unique<ProfileEditorViewModel>(editorState, profiles, navigator);
    }

    // Adds a custom profile with a bandwidth limit and returns it.
    ThrottleProfile addCustom(const QString& name, bool showInMenu = true) {
        const ThrottleProfile profile(QUuid::createUuid(), name, Bandwidth{2, BandwidthUnit::mbps},
                                      {}, {}, {}, {}, false, showInMenu);
        profiles.saveProfile(profile);
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
};

using PanelWorld = PanelWorldOf<>;

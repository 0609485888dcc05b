// SPDX-License-Identifier: MIT
// The profile list, settings, about and onboarding windows in the states
// worth seeing.
#include "Scenes.h"
#include "UiWorld.h"
#include "ViewHarness.h"

#include <QTest>

#include <functional>

namespace {

constexpr int kSettle = 400; // animations settle

void scrollToEnd(ViewHarness& view, const QString& scroller) {
    QQuickItem* area = view.find(scroller);
    area->setProperty("contentY", area->property("contentHeight").toReal() - area->height());
    QTest::qWait(kSettle);
}

QImage profileList(bool withCustomProfiles, bool confirmingDelete, bool scrolled = true,
                   bool menuOpen = false) {
    UiWorld world;
    world.profiles.toggleMenuVisibility(preset("Edge"));
    world.profiles.toggleMenuVisibility(preset("High Latency DNS"));
    if (withCustomProfiles) {
        world.addCustom("beta", true, 250);
        world.profiles.createProfile(
            ThrottleProfile(QUuid::createUuid(), "Alpha", Bandwidth{512, BandwidthUnit::kbps},
                            Bandwidth{256, BandwidthUnit::kbps}, 0, 2.5, 3000, false, false));
        world.profiles.createProfile(ThrottleProfile(QUuid::createUuid(), "alpha", std::nullopt,
                                                     std::nullopt, std::nullopt, std::nullopt, 3000,
                                                     false, true));
        // Kept to some destinations, and to an application named by its entry.
        ThrottleProfile api = world.addCustom("API only", true, 80);
        std::string ignored;
        api.destinations = {*Destination::parse("api.example.com", ignored),
                            *Destination::parse("10.0.0.0/8", ignored)};
        world.profiles.saveProfile(api);
        ThrottleProfile calls = world.addCustom("Slack calls", true, 300);
        calls.application = "com.slack.Slack";
        world.profiles.saveProfile(calls);
    }
    world.runApplication("com.slack.Slack", "Slack");
    const auto model = std::make_unique<ProfileListViewModel>(
        world.profiles, world.editorState, world.navigator, &world.applicationNames);
    if (confirmingDelete) {
        model->handleProfileAction(ProfileListViewModel::Action::Delete,
                                   ThrottleProfile::idText(preset("Edge").id()));
    }
    ViewHarness view("ProfileListView", model.get());
    if (scrolled) {
        scrollToEnd(view, "profileScroller"); // the custom section is at the end
    }
    if (menuOpen) {
        view.click("menu-beta");
    }
    return view.grab(100);
}

const SceneRegistration list("profile-list", [] { return profileList(true, false); });
const SceneRegistration listTop("profile-list-top", [] { return profileList(true, false, false); });
const SceneRegistration listMenu("profile-list-menu",
                                 [] { return profileList(true, false, true, true); });
const SceneRegistration listEmpty("profile-list-empty", [] { return profileList(false, false); });
const SceneRegistration listDelete("profile-list-delete", [] { return profileList(false, true); });

using Prepare = std::function<void(UiWorld&, SettingsViewModel&)>;

// The settings window; with `helperSection`, prepared once on screen (its
// appearance checks the helper) and scrolled to the helper's section with
// its advanced part open.
QImage settings(const Prepare& prepare, bool helperSection = false) {
    UiWorld world;
    const auto model = world.settings();
    if (!helperSection) {
        prepare(world, *model);
    }
    ViewHarness view("SettingsView", model.get());
    if (helperSection) {
        prepare(world, *model);
        model->helper()->toggleAdvanced();
        QTest::qWait(kSettle);
        scrollToEnd(view, "settingsScroller");
    }
    return view.grab(kSettle);
}

const SceneRegistration settingsAutoDisable("settings-auto-disable", [] {
    return settings([](UiWorld& world, SettingsViewModel& model) {
        model.autoDisable()->setEnabled(true);
        model.autoDisable()->selectDuration(4);
        world.updater.setCanCheck(false);
    });
});
const SceneRegistration settingsAbout("settings-about", [] {
    return settings([](UiWorld&, SettingsViewModel& model) { model.showAbout(); });
});
const SceneRegistration helperAlert("settings-helper-alert", [] {
    return settings([](UiWorld& world, SettingsViewModel& model) {
        world.registration.status = ServiceStatus::notRegistered;
        world.helper.installFailure = ThrottleError::helperError("Authorization was denied");
        model.helper()->install();
    });
});

// The helper's badge in each of its states.
const bool helperBadges = [] {
    for (const auto& [name, status] : {std::pair{"installed", ServiceStatus::enabled},
                                       std::pair{"not-installed", ServiceStatus::notRegistered},
                                       std::pair{"no-system-bus", ServiceStatus::busUnreachable}}) {
        scenes().emplace(QStringLiteral("settings-helper-") + name, [status] {
            return settings(
                [status](UiWorld& world, SettingsViewModel& model) {
                    world.registration.status = status;
                    model.helper()->checkStatus();
                },
                true);
        });
    }
    return true;
}();
const SceneRegistration helperError("settings-helper-error", [] {
    return settings(
        [](UiWorld& world, SettingsViewModel& model) {
            world.registration.status = ServiceStatus::notRegistered;
            world.helper.installFailure = ThrottleError::helperError(
                "Could not register the helper (com.veltrane.ServiceRegistration 126): "
                "Authorization was denied or dismissed");
            model.helper()->install();
            model.helper()->dismissInstallAlert();
        },
        true);
});
const SceneRegistration helperChecking("settings-helper-checking", [] {
    UiWorld world;
    const auto model = world.settings();
    ViewHarness view("SettingsView", model.get());
    // The check itself is over before the window is first drawn: show its badge alone.
    QQuickItem* badge = view.find("helperBadge");
    badge->setProperty("status", static_cast<int>(HelperSettingsModel::HelperStatus::Checking));
    badge->setProperty("text", QStringLiteral("Checking…"));
    scrollToEnd(view, "settingsScroller");
    return view.grab();
});

const SceneRegistration about("about", [] {
    AboutViewModel model(QStringLiteral("1.0.0"), QString(), QDate(2026, 12, 7));
    return ViewHarness("AboutView", &model).grab();
});

QImage onboarding(const std::function<void(UiWorld&, OnboardingViewModel&)>& prepare) {
    UiWorld world;
    world.registration.status = ServiceStatus::notRegistered;
    const auto model = world.onboarding();
    prepare(world, *model);
    return ViewHarness("OnboardingView", model.get()).grab(kSettle);
}

const SceneRegistration onboardingWelcome("onboarding-0-welcome", [] {
    return onboarding([](UiWorld&, OnboardingViewModel&) {});
});
const SceneRegistration onboardingInstall("onboarding-1-install", [] {
    return onboarding([](UiWorld&, OnboardingViewModel& model) { model.getStarted(); });
});
const SceneRegistration onboardingInstallError("onboarding-1-install-error", [] {
    return onboarding([](UiWorld& world, OnboardingViewModel& model) {
        model.getStarted();
        world.helper.installFailure = ThrottleError::helperError(
            "Could not register the helper (com.veltrane.ServiceRegistration -1): The "
            "helper's installer is not installed");
        model.installHelper();
    });
});
const SceneRegistration onboardingDone("onboarding-2-done", [] {
    return onboarding([](UiWorld&, OnboardingViewModel& model) {
        model.getStarted();
        model.installHelper();
    });
});

} // namespace

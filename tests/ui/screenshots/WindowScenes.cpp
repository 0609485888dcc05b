// SPDX-License-Identifier: MIT
// The profile list, settings and onboarding windows in the states worth seeing.
#include "OnboardingViewModel.h"
#include "ProfileListViewModel.h"
#include "Scenes.h"
#include "SettingsKeys.h"
#include "SettingsViewModel.h"
#include "ViewHarness.h"
#include "WindowTestSupport.h"

#include <QTest>

#include <functional>

namespace {

QImage show(const QString& viewName, QObject* model) {
    ViewHarness view(viewName, {{"viewModel", QVariant::fromValue(model)}});
    QTest::qWait(400); // animations settle
    return view.grab();
}

void scrollToEnd(ViewHarness& view, const QString& scroller) {
    QQuickItem* area = view.find(scroller);
    area->setProperty("contentY", area->property("contentHeight").toReal() - area->height());
    QTest::qWait(400);
}

QImage profileList(bool withCustomProfiles, bool confirmingDelete, bool scrolled = true,
                   bool menuOpen = false) {
    WindowServices services;
    services.profiles.toggleMenuVisibility(preset("Edge"));
    services.profiles.toggleMenuVisibility(preset("High Latency DNS"));
    if (withCustomProfiles) {
        services.addCustom("beta", 250);
        services.profiles.createProfile(
            ThrottleProfile(QUuid::createUuid(), "Alpha", Bandwidth{512, BandwidthUnit::kbps},
                            Bandwidth{256, BandwidthUnit::kbps}, 0, 2.5, 3000, false, false));
        services.profiles.createProfile(ThrottleProfile(QUuid::createUuid(), "alpha", std::nullopt,
                                                        std::nullopt, std::nullopt, std::nullopt,
                                                        3000, false, true));
    }
    const auto model = services.profileList();
    if (confirmingDelete) {
        model->handleProfileAction(ProfileListViewModel::Action::Delete,
                                   ThrottleProfile::idText(preset("Edge").id()));
    }
    ViewHarness view(QStringLiteral("ProfileListView"),
                     {{"viewModel", QVariant::fromValue(model.get())}});
    if (scrolled) {
        // The custom section is at the end.
        scrollToEnd(view, QStringLiteral("profileScroller"));
    }
    if (menuOpen) {
        view.click(QStringLiteral("menu-beta"));
        QTest::qWait(100);
    }
    return view.grab();
}

const SceneRegistration list(QStringLiteral("profile-list"),
                             [] { return profileList(true, false); });
const SceneRegistration listTop(QStringLiteral("profile-list-top"),
                                [] { return profileList(true, false, false); });
const SceneRegistration listMenu(QStringLiteral("profile-list-menu"),
                                 [] { return profileList(true, false, true, true); });
const SceneRegistration listEmpty(QStringLiteral("profile-list-empty"),
                                  [] { return profileList(false, false); });
const SceneRegistration listDelete(QStringLiteral("profile-list-delete"),
                                   [] { return profileList(false, true); });

QImage settings(const std::function<void(WindowServices&, SettingsViewModel&)>& prepare) {
    WindowServices services;
    const auto model = services.settings();
    services.registration.status = ServiceStatus::enabled;
    prepare(services, *model);
    ViewHarness view(QStringLiteral("SettingsView"),
                     {{"viewModel", QVariant::fromValue(model.get())}});
    QTest::qWait(400);
    return view.grab();
}

const SceneRegistration settingsAutoDisable(QStringLiteral("settings-auto-disable"), [] {
    return settings([](WindowServices& services, SettingsViewModel& model) {
        model.setAutoDisableEnabled(true);
        model.selectDuration(4);
        services.updater.setCanCheck(false);
    });
});
const SceneRegistration settingsAbout(QStringLiteral("settings-about"), [] {
    return settings([](WindowServices&, SettingsViewModel& model) { model.showAbout(); });
});

// The helper section, scrolled into view, for each state of the badge.
QImage helperState(const std::function<void(WindowServices&, SettingsViewModel&)>& prepare) {
    WindowServices services;
    const auto model = services.settings();
    ViewHarness view(QStringLiteral("SettingsView"),
                     {{"viewModel", QVariant::fromValue(model.get())}});
    prepare(services, *model);
    model->toggleAdvancedHelper();
    QTest::qWait(400);
    scrollToEnd(view, QStringLiteral("settingsScroller"));
    return view.grab();
}

const SceneRegistration helperChecking(QStringLiteral("settings-helper-checking"), [] {
    WindowServices services;
    const auto model = services.settings();
    ViewHarness view(QStringLiteral("SettingsView"),
                     {{"viewModel", QVariant::fromValue(model.get())}});
    // The check itself is over before the window is first drawn: show its badge alone.
    QQuickItem* badge = view.find(QStringLiteral("helperBadge"));
    badge->setProperty("status", static_cast<int>(SettingsViewModel::HelperStatus::Checking));
    badge->setProperty("text", QStringLiteral("Checking…"));
    scrollToEnd(view, QStringLiteral("settingsScroller"));
    return view.grab();
});
const SceneRegistration helperInstalled(QStringLiteral("settings-helper-installed"), [] {
    return helperState([](WindowServices& services, SettingsViewModel& model) {
        services.registration.status = ServiceStatus::enabled;
        model.checkHelperStatus();
    });
});
const SceneRegistration helperNotInstalled(QStringLiteral("settings-helper-not-installed"), [] {
    return helperState([](WindowServices& services, SettingsViewModel& model) {
        services.registration.status = ServiceStatus::notRegistered;
        model.checkHelperStatus();
    });
});
const SceneRegistration helperApproval(QStringLiteral("settings-helper-requires-approval"), [] {
    return helperState([](WindowServices& services, SettingsViewModel& model) {
        services.registration.status = ServiceStatus::requiresApproval;
        model.checkHelperStatus();
    });
});
const SceneRegistration helperError(QStringLiteral("settings-helper-error"), [] {
    return helperState([](WindowServices& services, SettingsViewModel& model) {
        services.registration.status = ServiceStatus::notRegistered;
        services.helper.installFailure = ThrottleError::helperError(
            "Failed to register helper (status was 0): com.veltrane.ServiceRegistration 126 — "
            "Authorization was denied or dismissed");
        model.checkHelperStatus();
        model.installHelper();
        model.dismissHelperInstallAlert();
    });
});
const SceneRegistration helperAlert(QStringLiteral("settings-helper-alert"), [] {
    return settings([](WindowServices& services, SettingsViewModel& model) {
        services.registration.status = ServiceStatus::notRegistered;
        services.helper.installFailure = ThrottleError::helperError("Authorization was denied");
        model.installHelper();
    });
});

QImage onboarding(int systemVersion,
                  const std::function<void(WindowServices&, OnboardingViewModel&)>& prepare) {
    WindowServices services;
    const auto model = services.onboarding(systemVersion);
    prepare(services, *model);
    return show(QStringLiteral("OnboardingView"), model.get());
}

void toApproval(WindowServices& services, OnboardingViewModel& model) {
    model.getStarted();
    services.registration.status = ServiceStatus::requiresApproval;
    services.helper.installFailure = ThrottleError::helperError("approval");
    model.installHelper();
}

const SceneRegistration onboardingWelcome(QStringLiteral("onboarding-0-welcome"), [] {
    return onboarding(15, [](WindowServices&, OnboardingViewModel&) {});
});
const SceneRegistration onboardingInstall(QStringLiteral("onboarding-1-install"), [] {
    return onboarding(15, [](WindowServices&, OnboardingViewModel& model) { model.getStarted(); });
});
const SceneRegistration onboardingInstallError(QStringLiteral("onboarding-1-install-error"), [] {
    return onboarding(15, [](WindowServices& services, OnboardingViewModel& model) {
        model.getStarted();
        services.helper.installFailure = ThrottleError::helperError(
            "Failed to register helper (status was 0): com.veltrane.ServiceRegistration -1 — The "
            "helper's installer is not installed");
        model.installHelper();
    });
});
const SceneRegistration onboardingApproval(QStringLiteral("onboarding-2-approval"),
                                           [] { return onboarding(15, toApproval); });
const SceneRegistration onboardingApproval26(QStringLiteral("onboarding-2-approval-26"),
                                             [] { return onboarding(26, toApproval); });
const SceneRegistration onboardingDone(QStringLiteral("onboarding-3-done"), [] {
    return onboarding(15, [](WindowServices&, OnboardingViewModel& model) {
        model.getStarted();
        model.installHelper();
    });
});

} // namespace

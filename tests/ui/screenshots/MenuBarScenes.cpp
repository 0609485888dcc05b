// SPDX-License-Identifier: MIT
#include "Scenes.h"
#include "SettingsKeys.h"
#include "UiWorld.h"
#include "ViewHarness.h"

#include <functional>

namespace {

// The panel over a world that `arrange` has put into the scene's state.
QImage panelIn(const std::function<void(UiWorld&, MenuBarViewModel&)>& arrange) {
    UiWorld world;
    const auto panel = world.panel();
    arrange(world, *panel);
    return ViewHarness("MenuBarView", panel.get()).grab();
}

const SceneRegistration off(QStringLiteral("panel-off"), [] {
    return panelIn(
        [](UiWorld& world, MenuBarViewModel& panel) { panel.selectProfile(world.named("3G")); });
});

const SceneRegistration on(QStringLiteral("panel-on-3g-lossy"), [] {
    return panelIn([](UiWorld& world, MenuBarViewModel& panel) {
        world.defaults.setValue(SettingsKeys::autoDisableEnabled, true);
        world.defaults.setValue(SettingsKeys::autoDisableMinutes, 5);
        panel.selectProfile(world.named("3G (Lossy)"));
        panel.handleToggle(true);
        world.now = world.now.addSecs(65);
    });
});

const SceneRegistration helperWarning(QStringLiteral("panel-helper-warning"), [] {
    return panelIn([](UiWorld& world, MenuBarViewModel&) {
        world.registration.status = ServiceStatus::notRegistered;
    });
});

const SceneRegistration error(QStringLiteral("panel-error"), [] {
    return panelIn([](UiWorld& world, MenuBarViewModel& panel) {
        panel.selectProfile(world.named("Edge"));
        world.helper.nextFailure =
            std::make_exception_ptr(ThrottleError::helperError("dnctl exited with status 1"));
        panel.handleToggle(true);
    });
});

const SceneRegistration lossConfirmation(QStringLiteral("panel-loss-confirmation"), [] {
    return panelIn([](UiWorld& world, MenuBarViewModel& panel) {
        panel.selectProfile(world.named("100% Loss"));
        panel.handleToggle(true);
    });
});

const SceneRegistration customProfiles(QStringLiteral("panel-custom-profiles"), [] {
    return panelIn([](UiWorld& world, MenuBarViewModel& panel) {
        const QString longName =
            QStringLiteral("Conference hotel Wi-Fi on the fourth floor, late at night B");
        for (const QString& name :
             {QStringLiteral("Airport"), QStringLiteral("Bus"), QStringLiteral("Cafe"),
              QStringLiteral("Dorm"), QStringLiteral("Elevator"), QStringLiteral("Ferry"),
              QStringLiteral("Garage"), longName}) {
            world.addCustom(name);
        }
        panel.selectProfile(world.named(longName));
        panel.handleToggle(true);
    });
});

} // namespace

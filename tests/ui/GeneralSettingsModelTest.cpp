// SPDX-License-Identifier: MIT
#include "GeneralSettingsModel.h"

#include "SettingsKeys.h"
#include "UiWorld.h"

#include <gtest/gtest.h>

namespace {

TEST(GeneralSettingsModel, ALoginItemThatCannotChangeFlipsTheSwitchBackAndSaysWhy) {
    UiWorld world;
    GeneralSettingsModel model(world.defaults, world.registration);
    model.setLaunchAtLogin(true);
    EXPECT_TRUE(model.launchAtLogin());
    EXPECT_EQ(world.registration.loginItem, ServiceStatus::enabled);

    world.registration.loginItemFailure =
        RegistrationError{"com.veltrane.ServiceRegistration", 13, "Permission denied"};
    model.setLaunchAtLogin(false);
    EXPECT_TRUE(model.launchAtLogin());
    EXPECT_TRUE(world.defaults.boolValue(SettingsKeys::launchAtLogin));
    EXPECT_TRUE(model.showingLaunchAtLoginError());
    EXPECT_EQ(model.launchAtLoginErrorMessage(),
              "Failed to update launch at login setting: Permission denied");
    model.dismissLaunchAtLoginError();
    EXPECT_FALSE(model.showingLaunchAtLoginError());
}

} // namespace

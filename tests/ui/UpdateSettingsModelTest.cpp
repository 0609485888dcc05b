// SPDX-License-Identifier: MIT
#include "UpdateSettingsModel.h"

#include "UiWorld.h"

#include <gtest/gtest.h>

namespace {

TEST(UpdateSettingsModel, CheckNowReachesTheUpdaterOnlyWhenItCanCheck) {
    UiWorld world;
    UpdateSettingsModel model(world.updater);
    world.updater.setCanCheck(false);
    EXPECT_FALSE(model.canCheck());
    model.checkNow();
    EXPECT_EQ(world.updater.checks, 0);
    world.updater.setCanCheck(true);
    model.checkNow();
    EXPECT_EQ(world.updater.checks, 1);
}

} // namespace

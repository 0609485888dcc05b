// SPDX-License-Identifier: MIT
#include "QuitAfterRemovingThrottling.h"

#include "UiWorld.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

namespace {

TEST(QuitAfterRemovingThrottling,
     RemovesOnlyThisApplicationsThrottlingThenQuitsEvenWhenRemovalFails) {
    UiWorld world;
    world.helper.gated = true;
    QuitAfterRemovingThrottling quit(world.service, [&world] { ++world.quits; });
    world.service.applyProfile(world.named("Edge"));
    world.helper.release();

    quit.start();
    EXPECT_EQ(world.helper.disables, 1);
    EXPECT_EQ(world.quits, 0);
    quit.start();
    EXPECT_EQ(world.helper.disables, 1);
    // A removal that is never answered holds the quit no longer than its bound.
    EXPECT_TRUE(waitUntil([&world] { return world.quits == 1; }));
    world.helper.release();
    EXPECT_EQ(world.quits, 1);

    UiWorld failing;
    QuitAfterRemovingThrottling failingQuit(failing.service, [&failing] { ++failing.quits; });
    finish(failing.service.applyProfile(failing.named("3G")));
    failing.helper.nextFailure = std::make_exception_ptr(ThrottleError::helperError("gone"));
    failingQuit.start();
    EXPECT_EQ(failing.quits, 1);

    // Another client's throttling outlives the application.
    UiWorld shared;
    QuitAfterRemovingThrottling sharedQuit(shared.service, [&shared] { ++shared.quits; });
    shared.helper.takenBy(FakeHelperClient::ownerOf("veltranectl run: make test", true, false));
    sharedQuit.start();
    EXPECT_EQ(shared.helper.disables, 0);
    EXPECT_EQ(shared.quits, 1);
}

} // namespace

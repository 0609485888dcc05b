// SPDX-License-Identifier: MIT
#include "QuitAfterRemovingThrottling.h"

#include "UiWorld.h"
#include "WaitUntil.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;
using testing::Field;
using testing::IsEmpty;

namespace {

// Another client's throttle, which outlives the application; its id.
quint64 startElsewhere(UiWorld& world) {
    world.startElsewhere("veltranectl run: make test", {1, 0, 0, 0, 0}, {"10.9.9.9"});
    return world.helper.throttles.back().id;
}

TEST(QuitAfterRemovingThrottling, EndsOnlyThisApplicationsThrottleThenQuitsEvenWhenThatFails) {
    UiWorld world;
    const quint64 others = startElsewhere(world);
    world.helper.gated = true;
    QuitAfterRemovingThrottling quit(world.service, [&world] { ++world.quits; });
    world.service.applyProfile(world.named("Edge"));
    world.helper.release();

    quit.start();
    EXPECT_EQ(world.helper.ends.size(), 1u);
    EXPECT_EQ(world.quits, 0);
    quit.start();
    EXPECT_EQ(world.helper.ends.size(), 1u);
    // An ending that is never answered holds the quit no longer than its bound.
    EXPECT_TRUE(waitUntil([&world] { return world.quits == 1; }));
    world.helper.release();
    EXPECT_EQ(world.quits, 1);
    EXPECT_THAT(world.helper.throttles, ElementsAre(Field(&HelperThrottle::id, others)));
    EXPECT_EQ(world.helper.disables, 0);

    UiWorld failing;
    const quint64 othersOfFailing = startElsewhere(failing);
    QuitAfterRemovingThrottling failingQuit(failing.service, [&failing] { ++failing.quits; });
    finish(failing.service.applyProfile(failing.named("3G")));
    failing.helper.nextFailure = std::make_exception_ptr(ThrottleError::helperError("gone"));
    failingQuit.start();
    EXPECT_EQ(failing.quits, 1);
    EXPECT_TRUE(failing.helper.lists(othersOfFailing));

    // With nothing of its own on, it quits at once and ends nothing.
    UiWorld shared;
    startElsewhere(shared);
    QuitAfterRemovingThrottling sharedQuit(shared.service, [&shared] { ++shared.quits; });
    sharedQuit.start();
    EXPECT_THAT(shared.helper.ends, IsEmpty());
    EXPECT_EQ(shared.quits, 1);
}

} // namespace

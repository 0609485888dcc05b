// SPDX-License-Identifier: MIT
#include "SchedulePicture.h"
#include "ScheduleStandingText.h"
#include "UiWorld.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::DoubleEq;
using testing::ElementsAre;

namespace {

using Standing = ScheduleDictionary::Standing;

// The panel with "Commuter Train" (LTE 40 s, outage 6 s, 3G 14 s,
// repeating) switched on, the helper telling where it stands.
class ScheduleStandingModelTest : public testing::Test {
protected:
    void SetUp() override {
        panel->selectProfile(train);
        panel->handleToggle(true);
    }
    // The helper publishes a change of phase of the throttle `index`.
    void stands(qsizetype index, Standing standing) {
        world.helper.throttles[index].schedule = std::move(standing);
        world.helper.publish();
    }
    ScheduleStandingModel& model() { return *panel->scheduleStanding(); }

    UiWorld world;
    std::unique_ptr<MenuBarViewModel> panel = world.panel();
    const ThrottleProfile train = world.named("Commuter Train");
    const std::int64_t startedAt = world.now.toMSecsSinceEpoch();
};

TEST_F(ScheduleStandingModelTest, TellsThePhaseAndItsTimeLeftAsTheViewTicks) {
    ASSERT_EQ(world.service.state().currentProfile, train);
    stands(0, {startedAt, 1, 3, "Outage", startedAt + 46'000, true, false});
    world.now = world.now.addMSecs(42'500);
    // Nothing counts until the view ticks: a closed panel wakes nobody.
    EXPECT_EQ(model().text(), "2 of 3 · Outage · 46 s left");
    model().tick();
    // Rounded up: it never reads 0 before the change.
    EXPECT_EQ(model().text(), "2 of 3 · Outage · 4 s left");
    EXPECT_THAT(model().marker(), DoubleEq(42.5 / 60));

    ASSERT_TRUE(model().showsPicture());
    EXPECT_FALSE(model().isTrace());
    ASSERT_EQ(model().segments().size(), 3);
    const QVariantMap outage = model().segments()[1].toMap();
    EXPECT_TRUE(outage["outage"].toBool());
    EXPECT_THAT(outage["start"].toDouble(), DoubleEq(40.0 / 60));
    EXPECT_THAT(outage["width"].toDouble(), DoubleEq(6.0 / 60));
    EXPECT_FALSE(model().segments()[2].toMap()["outage"].toBool());
    EXPECT_EQ(model().pictureName(), "Schedule: 3 phases, repeating");

    // A repeating schedule's marker starts again after its last phase.
    world.now = world.now.addMSecs(60'000);
    model().tick();
    EXPECT_THAT(model().marker(), DoubleEq(42.5 / 60));
}

TEST_F(ScheduleStandingModelTest, DrawsNoPictureForAProfileThatNoLongerPlaysThatSchedule) {
    // Edited since it was applied: one phase fewer than the helper plays.
    stands(0, {startedAt, 0, 4, "LTE", startedAt + 40'000, true, false});
    EXPECT_EQ(model().text(), "1 of 4 · LTE · 40 s left");
    EXPECT_FALSE(model().showsPicture());
    EXPECT_EQ(model().marker(), 0);

    world.helper.switchedOff();
    EXPECT_FALSE(model().isShown());
}

TEST_F(ScheduleStandingModelTest, ListsEveryThrottlesPhaseAndShowsAnotherClientsAloneOnTheCard) {
    std::string failure;
    const quint64 other = world.helper.takenBy(
        FakeHelperClient::ownerOf("veltranectl apply: Elevator", false, false), {5'000, 0, 0, 0, 0},
        {{*Destination::parse("192.0.2.7:443", failure)}, {}, {}});
    stands(1, {startedAt, 1, 2, "Edge", std::nullopt, false, false});
    EXPECT_EQ(model().rowLines(), (QVariantMap{{QString::number(other), "2 of 2 · Edge · holds"}}));
    // The card follows this application's throttle, which plays none yet.
    EXPECT_FALSE(model().isShown());

    panel->handleToggle(false);
    world.helper.takenBy(FakeHelperClient::ownerOf("veltranectl apply: Elevator", false, false));
    stands(0, {startedAt, 1, 2, "Stuck", std::nullopt, false, false});
    EXPECT_EQ(model().text(), "2 of 2 · Stuck · holds");
    // Without its profile there is nothing to draw.
    EXPECT_FALSE(model().showsPicture());
}

TEST(ScheduleStandingText, SaysTheTimeLeftInTheUnitThatMattersAndATraceLoops) {
    EXPECT_EQ(ScheduleStandingText::timeLeft(3'001), "4 s");
    EXPECT_EQ(ScheduleStandingText::timeLeft(-500), "0 s");
    EXPECT_EQ(ScheduleStandingText::timeLeft(60'000), "1 min");
    EXPECT_EQ(ScheduleStandingText::timeLeft(65'000), "1 min 5 s");
    EXPECT_EQ(ScheduleStandingText::timeLeft(7'500'000), "2 h 5 min");
    const Standing trace{0, 0, 1, {}, std::nullopt, true, true};
    EXPECT_EQ(ScheduleStandingText::line(trace, 1'000), "Recorded trace, looping");
    const Standing unnamed{0, 0, 2, {}, 10'000, true, false};
    EXPECT_EQ(ScheduleStandingText::line(unnamed, 1'000), "1 of 2 · 9 s left");
}

TEST(SchedulePicture, HoldsAtTheEndOfAScheduleOnceAndLoopsATraceByItsShownDirection) {
    ProfileSchedule once;
    once.repeat = false;
    once.phases = {{"A", 1'000, NetworkConditions{}, {}}, {"B", 3'000, std::nullopt, {}}};
    EXPECT_THAT(SchedulePicture::marker(once, 2'000), DoubleEq(0.5));
    EXPECT_EQ(SchedulePicture::marker(once, 9'000), 1);
    EXPECT_EQ(SchedulePicture::marker(once, -50), 0);

    ProfileSchedule trace;
    trace.trace.stepMs = 100;
    // The upload alone is drawn when the trace has no download.
    trace.trace.uploadBytesPerSecond = {0, 100, 200, 400};
    EXPECT_THAT(SchedulePicture::marker(trace, 450), DoubleEq(50.0 / 400));
    EXPECT_THAT(SchedulePicture::curve(trace.trace, 2), ElementsAre(0.125, 0.75));
    EXPECT_THAT(SchedulePicture::curve(trace.trace, 10), ElementsAre(0, 0.25, 0.5, 1));
}

} // namespace

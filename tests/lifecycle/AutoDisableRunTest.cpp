// SPDX-License-Identifier: MIT
#include "AutoDisableRun.h"

#include "LifecycleWorld.h"
#include "NotificationNames.h"
#include "SettingsKeys.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::Contains;
using testing::ElementsAre;
using testing::IsEmpty;

namespace {

using namespace std::chrono_literals;

// The run over the real service, which posts its switch-ons and switch-offs
// on the notification centre the run observes.
class AutoDisableRunTest : public testing::Test, protected LifecycleWorld {
protected:
    AutoDisableRunTest() {
        registerService();
        run.attach(service);
        QObject::connect(&notifications, &NotificationCenter::posted, &run,
                         &AutoDisableRun::notificationPosted);
    }
    void autoDisableAfter(int minutes) {
        defaults.setValue(SettingsKeys::autoDisableEnabled, true);
        defaults.setValue(SettingsKeys::autoDisableMinutes, minutes);
    }
    void settingChanged(const QVariantMap& info) {
        notifications.post(NotificationName::autoDisableSettingChanged, info);
    }

    AutoDisableRun run{defaults, timers, notifier, clock, log};
};

TEST_F(AutoDisableRunTest, ARunWarnsAMinuteBeforeItsWallClockEndUnlessItLastsOneMinute) {
    // Another client's goes on however often the application's ends.
    const quint64 others = beside(otherClient("veltranectl run: make", true));
    autoDisableAfter(1);
    switchOn();
    timers.advance(59s);
    EXPECT_TRUE(ownThrottleOn());
    timers.advance(1s);
    EXPECT_FALSE(ownThrottleOn());
    EXPECT_THAT(lines, ElementsAre("Auto-disable timer started: 1 minutes",
                                   "Auto-disable: Throttling has been automatically disabled"));

    autoDisableAfter(5);
    switchOn();
    timers.advance(239s);
    EXPECT_THAT(notified(), ElementsAre("auto-disable-completed"));
    timers.advance(1s);
    EXPECT_THAT(notified(), ElementsAre("auto-disable-completed", "auto-disable-warning"));
    // Asleep past the end, which the timers did not count: it ends at wake.
    slept += 61s;
    run.systemDidWake();
    EXPECT_FALSE(ownThrottleOn());
    EXPECT_EQ(notified().size(), 3);

    // Asleep past the warning only: it comes at wake, and the run goes on.
    switchOn();
    slept += 250s;
    run.systemDidWake();
    EXPECT_EQ(notified().constLast(), "auto-disable-warning");
    timers.advance(49s);
    EXPECT_TRUE(ownThrottleOn());
    timers.advance(1s);
    EXPECT_FALSE(ownThrottleOn());
    EXPECT_THAT(helper.throttles, ElementsAre(testing::Field(&HelperThrottle::id, others)));
    EXPECT_EQ(helper.disables, 0);
}

TEST_F(AutoDisableRunTest, AReapplyOrTheSettingStartsAFullRunFromNowAndSwitchingOffStopsIt) {
    autoDisableAfter(5);
    switchOn();
    timers.advance(200s);
    switchOn("Edge");
    timers.advance(299s);
    EXPECT_TRUE(service.state().isEnabled);
    EXPECT_THAT(notified(), ElementsAre("auto-disable-warning"));
    finish(service.removeThrottling());
    EXPECT_EQ(timers.pending(), 0u);
    // Taken over by another client: not this application's to end.
    switchOn();
    helper.takenBy(otherClient("veltranectl apply: 3G", false));
    EXPECT_EQ(timers.pending(), 0u);
    helper.switchedOff();

    settingChanged({{"enabled", true}, {"minutes", 2}});
    EXPECT_EQ(timers.pending(), 0u); // throttling is off: the next switch-on starts it
    switchOn();
    timers.advance(100s);
    settingChanged({{"enabled", true}, {"minutes", 2}});
    timers.advance(119s);
    EXPECT_TRUE(service.state().isEnabled);
    EXPECT_THAT(notified(), ElementsAre("auto-disable-warning", "auto-disable-warning"));
    settingChanged({{"enabled", false}, {"minutes", 2}});
    EXPECT_EQ(timers.pending(), 0u);

    for (const QVariantMap& malformed :
         {QVariantMap{{"enabled", "yes"}, {"minutes", 2}}, QVariantMap{{"enabled", true}},
          QVariantMap{{"enabled", true}, {"minutes", "2"}},
          QVariantMap{{"enabled", true}, {"minutes", 2.5}}}) {
        settingChanged(malformed);
    }
    EXPECT_EQ(timers.pending(), 0u);
}

TEST_F(AutoDisableRunTest, WithNotificationsOffAThirtyMinuteDefaultRunStillEnds) {
    const quint64 others = beside(otherClient("veltranectl run: make", true));
    defaults.setValue(SettingsKeys::autoDisableEnabled, true);
    defaults.setValue(SettingsKeys::showNotifications, false);
    switchOn();
    EXPECT_THAT(lines, ElementsAre("Auto-disable timer started: 30 minutes"));
    timers.advance(30min);
    EXPECT_FALSE(service.state().isOwnedByThisApplication());
    EXPECT_THAT(notified(), IsEmpty());

    // An ending that fails leaves the application's throttle on, and no new run.
    switchOn();
    helper.nextFailure = std::make_exception_ptr(ThrottleError::helperError("busy"));
    timers.advance(30min);
    EXPECT_THAT(lines, Contains("Auto-disable failed: Helper error: busy"));
    EXPECT_TRUE(service.state().isOwnedByThisApplication());
    EXPECT_EQ(timers.pending(), 0u);
    EXPECT_TRUE(helper.lists(others));
}

} // namespace

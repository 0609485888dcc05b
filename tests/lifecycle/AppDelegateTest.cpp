// SPDX-License-Identifier: MIT
#include "AppDelegate.h"

#include "ApplicationEvents.h"
#include "LifecycleWorld.h"
#include "SettingsKeys.h"
#include "WaitUntil.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <vector>

using testing::Contains;
using testing::ElementsAre;
using testing::IsEmpty;

namespace {

using namespace std::chrono_literals;

class FakeApplicationEvents final : public ApplicationEvents {
public:
    std::vector<int> watched;
    int terminations = 0;

    void watchSignal(int signalNumber) override { watched.push_back(signalNumber); }
    void terminate() override { ++terminations; }
};

// The delegate as the application drives it, end to end: the desktop's
// events in, the helper's calls, the settings and the notifications out.
class AppDelegateTest : public testing::Test, protected LifecycleWorld {
protected:
    AppDelegateContext context() {
        return {.defaults = defaults,
                .persistence = persistence,
                .registration = registration,
                .userNotifications = userNotifications,
                .notifications = notifications,
                .events = events,
                .timers = timers,
                .windows = windows,
                .newHelperConnection =
                    [this] {
                        // Only inside the clean-up's bounded wait.
                        connectedInLoop.push_back(QThread::currentThread()->loopLevel() > 0);
                        return std::make_unique<ConnectionTo>(helper);
                    },
                .log = log,
                .clock = clock};
    }
    void launch() {
        AppDelegateContext quick = context();
        quick.cleanupDeadline = 200ms;
        delegate = std::make_unique<AppDelegate>(std::move(quick));
        delegate->applicationDidFinishLaunching();
        QCoreApplication::processEvents(); // the helper check queued by the launch
    }
    // Keeps what synchronising with the helper logged; the restore's own
    // line is the launch sequence's business.
    void launchAndRegister() {
        launch();
        lines.clear();
        delegate->registerServices(service, profiles);
        lines.removeIf([](const QString& line) {
            return line.startsWith(u"No saved profile") || line.startsWith(u"Restored selected");
        });
    }

    FakeApplicationEvents events;
    std::vector<bool> connectedInLoop;
    std::unique_ptr<AppDelegate> delegate;
};

TEST_F(AppDelegateTest, LaunchWatchesTheEndingSignalsAndAfterOnboardingReportsAMissingHelper) {
    EXPECT_EQ(context().cleanupDeadline, 2s);
    defaults.setValue(SettingsKeys::hasCompletedOnboarding, true);
    registration.status = ServiceStatus::requiresApproval;
    launch();
    EXPECT_THAT(lines,
                ElementsAre("Notification permissions granted", "Veltrane launched successfully"));
    EXPECT_THAT(events.watched, ElementsAre(SIGTERM, SIGINT, SIGHUP, SIGQUIT));
    EXPECT_THAT(notified(), ElementsAre("helper-not-installed"));
    EXPECT_THAT(userNotifications.bodies,
                ElementsAre("The helper is installed but not responding."));
    userNotifications.tap(notified().constFirst());
    EXPECT_THAT(windows.opened, ElementsAre("settings"));
}

TEST_F(AppDelegateTest, BeforeOnboardingNothingIsCheckedAndFailuresToNotifyAreLogged) {
    registration.status = ServiceStatus::notRegistered;
    userNotifications.authorization = {false, QStringLiteral("no server")};
    userNotifications.addFailure = QStringLiteral("no server");
    launch();
    EXPECT_THAT(lines, ElementsAre("Failed to request notification permissions: no server",
                                   "Veltrane launched successfully"));
    EXPECT_THAT(notified(), IsEmpty());
    // Registering checks the helper regardless, once.
    delegate->registerServices(service, profiles);
    delegate->registerServices(service, profiles);
    EXPECT_EQ(lines.count("Failed to show notification: no server"), 1);
}

TEST_F(AppDelegateTest, QuittingEndsItsThrottleBeforeStoringTheStateOrElseLetsGoOfTheHold) {
    const quint64 others = beside(otherClient("veltranectl run: make", true));
    launchAndRegister();
    switchOn("Edge");
    // The settings file may be locked by another process: the network first.
    std::optional<bool> storedBeforeOff;
    QObject::connect(&service, &ThrottleService::stateChanged, [&](const ThrottleState& state) {
        if (!state.isOwnedByThisApplication()) {
            storedBeforeOff = defaults.contains(SettingsKeys::wasEnabledOnQuit);
        }
    });
    Q_EMIT events.willTerminate();
    EXPECT_THAT(lines,
                ElementsAre("Performing throttling cleanup...",
                            "Throttling disabled via registered service", "Veltrane terminating"));
    EXPECT_EQ(storedBeforeOff, false);
    EXPECT_FALSE(ownThrottleOn());
    EXPECT_TRUE(helper.lists(others));
    EXPECT_TRUE(defaults.boolValue(SettingsKeys::wasEnabledOnQuit));
    EXPECT_EQ(defaults.stringValue(SettingsKeys::selectedProfileID), edgeId);

    // Switched on while the setting asked for a hold, quit after it changed:
    // the hold goes, throttling stays. A selection deleted meanwhile is not
    // stored.
    delegate.reset();
    launchAndRegister();
    switchOn();
    defaults.setValue(SettingsKeys::autoDisableOnQuit, false);
    const ThrottleProfile mine(QUuid::createUuid(), "Mine", {}, {}, 5, {}, {}, false, true);
    profiles.createProfile(mine);
    service.recordSelection(mine);
    profiles.deleteProfile(mine);
    Q_EMIT events.willTerminate();
    EXPECT_THAT(lines, ElementsAre("Veltrane terminating"));
    EXPECT_EQ(helper.releases, 1);
    EXPECT_TRUE(ownThrottleOn());
    EXPECT_EQ(defaults.stringValue(SettingsKeys::selectedProfileID), edgeId);
    // Every switch-on asks the setting again.
    switchOn("Edge");
    const auto held = [](bool hold) {
        return testing::Field(&FakeHelperClient::Start::hold, hold);
    };
    EXPECT_THAT(helper.starts, ElementsAre(held(true), held(true), held(false)));
    EXPECT_TRUE(helper.lists(others));
}

TEST_F(AppDelegateTest, ASignalCleansUpOnceAndAHelperThatNeverAnswersHoldsItUntilTheDeadline) {
    // A signal does not ask the setting.
    defaults.setValue(SettingsKeys::autoDisableOnQuit, false);
    const quint64 others = beside(otherClient("veltranectl run: make", true));
    launchAndRegister();
    switchOn();
    helper.gated = true;
    // A second signal while waiting neither restarts nor cuts short the wait.
    QTimer::singleShot(20ms, &events, [this] { Q_EMIT events.signalReceived(SIGTERM); });
    Q_EMIT events.signalReceived(SIGTERM);
    EXPECT_THAT(lines,
                ElementsAre("Received signal 15, performing cleanup...",
                            "Performing throttling cleanup...",
                            "Received signal 15, performing cleanup...", "Cleanup timed out"));
    EXPECT_EQ(events.terminations, 1);
    Q_EMIT events.willTerminate();
    EXPECT_EQ(lines.constLast(), "Veltrane terminating");

    // A late answer starts no fallback: the application is going away.
    helper.nextFailure = std::make_exception_ptr(ThrottleError::helperError("late"));
    helper.release();
    EXPECT_TRUE(waitUntil([this] { return lines.size() == 6; }));
    EXPECT_EQ(lines.constLast(), "Failed to disable throttling via service: Helper error: late");
    EXPECT_EQ(helper.statusQueries, 1);
    EXPECT_TRUE(helper.lists(others));
}

TEST_F(AppDelegateTest, SleepAndWakeAreLoggedAndARunThatFellDueInSleepEndsAtWake) {
    defaults.setValue(SettingsKeys::autoDisableEnabled, true);
    defaults.setValue(SettingsKeys::autoDisableMinutes, 5);
    const quint64 others = beside(otherClient("veltranectl run: make", true));
    launchAndRegister();
    switchOn();
    Q_EMIT events.systemWillSleep();
    slept += 6min;
    Q_EMIT events.systemDidWake();
    EXPECT_THAT(lines, ElementsAre("Auto-disable timer started: 5 minutes", "System going to sleep",
                                   "System woke from sleep",
                                   "Auto-disable: Throttling has been automatically disabled"));
    EXPECT_FALSE(ownThrottleOn());
    EXPECT_TRUE(helper.lists(others));
}

} // namespace

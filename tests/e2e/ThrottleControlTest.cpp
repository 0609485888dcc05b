// SPDX-License-Identifier: MIT
// The application's throttle control, and the panel over it, against the
// sandboxed daemon on a private bus: the helper answers asynchronously, as it
// does for the user.
#include "ControlFakes.h"
#include "HelperProtocol.h"
#include "SilentHelper.h"
#include "ThrottleControlOnBus.h"
#include "UiWorld.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <csignal>

namespace {

using namespace std::chrono_literals;

class ThrottleControlTest : public testing::Test, protected ThrottleControlOnBus {};

TEST_F(ThrottleControlTest, ThePanelsSwitchTurnsTheDaemonOnWithTheSelectionAndOffAgain) {
    UiWorld world; // for its store, settings and windows; the helper is the daemon
    MenuBarViewModel panel(service, world.profiles, world.editorState, world.defaults,
                           notifications, world.navigator, [] {});
    panel.appear();
    ASSERT_FALSE(panel.isToggleDisabled());

    panel.selectProfile(preset("3G"));
    panel.handleToggle(true);
    EXPECT_TRUE(panel.isLoading());
    ASSERT_TRUE(waitUntil([&] { return !panel.isLoading(); }, 30s));
    EXPECT_FALSE(panel.showingError()) << panel.errorMessage().toStdString();
    EXPECT_EQ(panel.statusText(), "Active: 3G");
    // veltranectl's apply checks the limits that reach the daemon on this path.
    EXPECT_TRUE(finish(connection.getStatus()));

    panel.handleToggle(false);
    ASSERT_TRUE(waitUntil([&] { return !panel.isLoading(); }, 30s));
    EXPECT_FALSE(panel.isEnabled());
    EXPECT_FALSE(finish(connection.getStatus()));
}

TEST_F(ThrottleControlTest, AFailureReplyOfTheHelperReachesTheStateAsAHelperError) {
    helper.tools().answer("dnctl", "*", 1, "", "dummynet unavailable");
    const ThrottleError engineFailure = ThrottleError::helperError(
        "Command failed: Failed to configure download pipe: dummynet unavailable");
    EXPECT_EQ(failureOf(service.applyProfile(preset("Edge"))), engineFailure);
    EXPECT_EQ(service.state().error, engineFailure);
    EXPECT_FALSE(service.state().isEnabled);
}

TEST_F(ThrottleControlTest, ALostDaemonOrBusClearsTheFlagAndTheNextCallConnectsAgain) {
    FakeServiceRegistration unregistered;
    unregistered.status = ServiceStatus::notRegistered;
    HelperConnection own(unregistered, {BusEndpoint(helper.bus().address())});
    QCoreApplication::processEvents(); // the registration check queued at creation
    EXPECT_FALSE(own.isConnected());
    // The first call connects by itself.
    EXPECT_FALSE(finish(own.getStatus()));
    EXPECT_TRUE(own.isConnected());

    const qint64 pid = helper.bus().ownerPid(HelperProtocol::kServiceName);
    ASSERT_GT(pid, 0);
    ::kill(static_cast<pid_t>(pid), SIGKILL);
    EXPECT_TRUE(waitUntil([&own] { return !own.isConnected(); }));
    EXPECT_FALSE(finish(own.getStatus()));
    EXPECT_NE(helper.bus().ownerPid(HelperProtocol::kServiceName), pid);

    helper.bus().restart();
    EXPECT_TRUE(waitUntil([&own] { return !own.isConnected(); }));
    EXPECT_FALSE(finish(own.getStatus()));
    EXPECT_TRUE(own.isConnected());
}

TEST(ThrottleControlWithoutHelperTest, NoHelperAnUnexplainedRefusalOrNoAnswerAreToldApart) {
    PrivateBus bus(QList<PrivateBus::Service>{});
    FakeServiceRegistration registration;
    HelperConnection connection(registration, {BusEndpoint(bus.address()), 200ms});
    // The bus answers at once that nobody serves the name, and says so.
    const std::optional<ThrottleError> unserved =
        failureOf(connection.enableThrottling(HelperParameters{1000, 0, 0, 0, 0}));
    ASSERT_TRUE(unserved);
    EXPECT_EQ(unserved->errorCase(), ThrottleError::Case::helperCommunicationFailed);
    EXPECT_TRUE(unserved->payload().contains(HelperProtocol::kServiceName))
        << unserved->payload().toStdString();

    const SilentHelper silent(bus.connect("silent"));
    EXPECT_EQ(failureOf(connection.enableThrottling(HelperParameters{1000, 0, 0, 0, 0})),
              ThrottleError::helperError("Unknown error"));
    const std::optional<ThrottleError> failure = failureOf(connection.disableThrottling());
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->errorCase(), ThrottleError::Case::helperCommunicationFailed);
    EXPECT_FALSE(failure->payload().isEmpty());
}

} // namespace

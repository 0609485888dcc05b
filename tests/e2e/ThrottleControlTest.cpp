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

#include <algorithm>
#include <csignal>
#include <functional>

namespace {

using namespace std::chrono_literals;

class ThrottleControlTest : public testing::Test, protected ThrottleControlOnBus {};

TEST_F(ThrottleControlTest, ThePanelsSwitchTurnsTheDaemonOnWithTheSelectionAndOffAgain) {
    UiWorld world; // for its store, settings and windows; the helper is the daemon
    MenuBarViewModel panel(service, world.registration, world.profiles, world.editorState,
                           world.defaults, world.persistence, notifications, world.navigator,
                           [] {});
    panel.appear();
    ASSERT_FALSE(panel.isToggleDisabled());

    panel.selectProfile(preset("3G"));
    panel.handleToggle(true);
    EXPECT_TRUE(panel.isLoading());
    ASSERT_TRUE(waitUntil([&] { return !panel.isLoading(); }, 30s));
    EXPECT_FALSE(panel.showingError()) << panel.errorMessage().toStdString();
    EXPECT_EQ(panel.statusText(), "Active: 3G");
    // veltranectl's apply checks the limits that reach the daemon on this path.
    EXPECT_TRUE(finish(connection.readState()).active);

    panel.handleToggle(false);
    ASSERT_TRUE(waitUntil([&] { return !panel.isLoading(); }, 30s));
    EXPECT_FALSE(panel.isEnabled());
    EXPECT_FALSE(finish(connection.readState()).active);
}

TEST_F(ThrottleControlTest, ARicherConditionIsSentByNameAndARefusalNamesIt) {
    ThrottleProfile jittery = preset("Edge");
    jittery.conditions.jitter = 40;
    const std::optional<ThrottleError> refused = failureOf(service.applyProfile(jittery));
    ASSERT_TRUE(refused);
    // This daemon shapes with dummynet, which has no jitter, and says so.
    EXPECT_TRUE(refused->payload().contains("Jitter cannot be shaped with pf and dummynet"))
        << refused->payload().toStdString();
    EXPECT_TRUE(helper.bus().output().contains("enableThrottlingWithParameters called: "));
    EXPECT_TRUE(helper.bus().output().contains("latency=400 loss=0.0 dns=0 jitter=40"));
}

TEST_F(ThrottleControlTest, StateAndCallsCarryOnAcrossAHelperRestartAndANewBusConnection) {
    std::vector<HelperState> states;
    QObject::connect(&connection, &HelperClient::helperStateChanged,
                     [&states](const HelperState& state) { states.push_back(state); });
    int replaced = 0;
    QObject::connect(&connection, &HelperClient::connectionReplaced, [&replaced] { ++replaced; });

    // Beside it, one that only calls: the first call connects it.
    FakeServiceRegistration unregistered;
    unregistered.status = ServiceStatus::notRegistered;
    HelperConnection own(unregistered, {BusEndpoint(helper.bus().address())});
    QCoreApplication::processEvents(); // the registration check queued at creation
    EXPECT_FALSE(own.isConnected());
    EXPECT_FALSE(finish(own.readState()).active);
    EXPECT_TRUE(own.isConnected());

    // Installing again keeps the connection, and with it the hold.
    finish(connection.startThrottle({1000, 0, 0, 0, 0}, {}, {}, "Veltrane", true));
    finish(connection.installHelper());
    const HelperState held = finish(connection.readState());
    EXPECT_TRUE(held.isOwnedByThisClient() && held.owner->held);
    connection.followState();

    // Unavailable, and then back by itself: following starts it again.
    const auto goneAndBack = [&](const std::function<void()>& end) {
        const size_t before = states.size();
        end();
        return waitUntil(
            [&] {
                return std::any_of(states.begin() + before, states.end(),
                                   [](const HelperState& state) { return !state.available; }) &&
                       states.back().available;
            },
            30s);
    };
    ASSERT_TRUE(goneAndBack([&] {
        ASSERT_TRUE(signalProcess(helper.bus().ownerPid(HelperProtocol::kServiceName), SIGKILL));
    }));
    EXPECT_EQ(replaced, 0);
    // The helper's end is an interruption: the next call restarts it.
    EXPECT_FALSE(own.isConnected());
    EXPECT_TRUE(finish(own.readState()).active);
    ASSERT_TRUE(goneAndBack([&] { helper.bus().restart(); }));
    EXPECT_EQ(replaced, 1);
    // On a new connection; what the lost one held is gone with it.
    EXPECT_FALSE(finish(own.readState()).active);
    EXPECT_TRUE(own.isConnected());

    // Another client's change comes as a signal over the new connection.
    QDBusConnection other = helper.bus().connect("other");
    const QDBusMessage reply = HelperOnPrivateBus::call(
        other, "EnableThrottlingAs",
        {qlonglong(1000), qlonglong(0), qlonglong(0), 0.0, qlonglong(0), QString("other"), false});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_TRUE(waitUntil([&states] {
        const HelperState& state = states.back();
        return state.active && !state.owner->isThisClient && state.owner->description == "other";
    }));
}

TEST(ThrottleControlWithoutHelperTest, NoHelperAnUnexplainedRefusalOrNoAnswerAreToldApart) {
    PrivateBus bus(QList<PrivateBus::Service>{});
    FakeServiceRegistration registration;
    HelperConnection connection(registration, {BusEndpoint(bus.address()), 200ms});
    // The bus answers at once that nobody serves the name, and says so.
    const std::optional<ThrottleError> unserved = failureOf(connection.disableThrottling());
    ASSERT_TRUE(unserved);
    EXPECT_EQ(unserved->errorCase(), ThrottleError::Case::helperCommunicationFailed);
    EXPECT_TRUE(unserved->payload().contains(HelperProtocol::kServiceName))
        << unserved->payload().toStdString();

    const SilentHelper silent(bus.connect("silent"));
    EXPECT_EQ(failureOf(connection.disableThrottling()),
              ThrottleError::helperError("Unknown error"));
    const std::optional<ThrottleError> failure = failureOf(connection.endThrottle(1));
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->errorCase(), ThrottleError::Case::helperCommunicationFailed);
    EXPECT_FALSE(failure->payload().isEmpty());
}

} // namespace

// SPDX-License-Identifier: MIT
#include "ControlFakes.h"
#include "HelperConnection.h"
#include "HelperOnPrivateBus.h"
#include "HelperProtocol.h"
#include "SystemServiceRegistration.h"
#include "ThrottleService.h"

#include <QCoreApplication>
#include <QDBusContext>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>

using testing::ElementsAre;

namespace {

using namespace std::chrono_literals;

SystemServicePaths onBus(const QString& address) {
    SystemServicePaths paths;
    paths.bus = BusEndpoint(address);
    return paths;
}

// The application's objects against the sandboxed daemon on a private bus.
class ThrottleControlTest : public testing::Test {
protected:
    std::vector<std::string> toolRuns() const { return helper.tools().toolRuns(); }

    HelperOnPrivateBus helper;
    SystemServiceRegistration registration{onBus(helper.bus().address())};
    HelperConnection connection{registration, {BusEndpoint(helper.bus().address())}};
    NotificationCenter notifications;
    ThrottleService service{connection, registration, notifications};
};

TEST_F(ThrottleControlTest, ApplyingThreeGRunsExactlyItsLimitsAndRemovingCleansUp) {
    finish(service.applyProfile(preset("3G")));
    // The engine's tests own the exact sequence: here, the converted values.
    EXPECT_THAT(toolRuns(),
                testing::IsSupersetOf({"dnctl pipe 1 config bw 97500Byte/s delay 50ms",
                                       "dnctl pipe 2 config bw 41250Byte/s delay 50ms"}));
    EXPECT_TRUE(service.state().isEnabled);
    EXPECT_TRUE(finish(connection.getStatus()));

    helper.tools().clearToolRuns();
    finish(service.removeThrottling());
    EXPECT_THAT(toolRuns(), testing::Contains("dnctl pipe delete 1"));
    EXPECT_FALSE(service.state().isEnabled);
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

TEST_F(ThrottleControlTest, TheHelperStoppingClearsTheFlagAndTheNextCallStartsItAgain) {
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
}

TEST_F(ThrottleControlTest, ALostBusConnectionIsReplacedByTheNextCall) {
    EXPECT_FALSE(finish(connection.getStatus()));
    EXPECT_TRUE(connection.isConnected());
    helper.bus().restart();
    EXPECT_TRUE(waitUntil([this] { return !connection.isConnected(); }));

    finish(service.applyProfile(preset("3G")));
    EXPECT_TRUE(connection.isConnected());
    EXPECT_TRUE(finish(connection.getStatus()));
}

// Owns the helper's name and takes every call, but never answers.
class SilentHelper final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.veltrane.HelperProtocol")

public Q_SLOTS:
    bool DisableThrottling(QString& errorMessage) {
        setDelayedReply(true);
        errorMessage.clear();
        return false;
    }
};

TEST(ThrottleControlWithoutHelperTest, NoHelperOrOneThatNeverAnswersIsACommunicationFailure) {
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

    QDBusConnection owner = bus.connect("silent");
    SilentHelper silent;
    ASSERT_TRUE(owner.registerObject(HelperProtocol::kObjectPath, &silent,
                                     QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(owner.registerService(HelperProtocol::kServiceName));
    const std::optional<ThrottleError> failure = failureOf(connection.disableThrottling());
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->errorCase(), ThrottleError::Case::helperCommunicationFailed);
    EXPECT_FALSE(failure->payload().isEmpty());
}

} // namespace

#include "ThrottleControlTest.moc"

// SPDX-License-Identifier: MIT
#include "HelperConnection.h"

#include "ControlFakes.h"
#include "HelperProtocol.h"
#include "PrivateBus.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {

// Registration paths of HelperConnection; calls to a real helper are
// checked end to end.
class HelperConnectionTest : public testing::Test {
protected:
    HelperConnection::Options onBus() const { return {BusEndpoint(bus.address())}; }

    PrivateBus bus{QList<PrivateBus::Service>{}};
    FakeServiceRegistration registration;
};

const ThrottleError kApproval = ThrottleError::helperError(
    "Helper requires approval. Please enable it in System Settings > Login Items.");

TEST_F(HelperConnectionTest,
       AnEnabledDaemonConnectsOnceTheEventLoopRunsAnUnregisteredOneRegisters) {
    HelperConnection enabled(registration, onBus());
    EXPECT_FALSE(enabled.isConnected());
    QCoreApplication::processEvents();
    EXPECT_TRUE(enabled.isConnected());
    finish(enabled.installHelper());
    EXPECT_EQ(registration.registrations, 0);

    registration.status = ServiceStatus::notRegistered;
    HelperConnection fresh(registration, onBus());
    QCoreApplication::processEvents();
    EXPECT_FALSE(fresh.isConnected());
    finish(fresh.installHelper());
    EXPECT_EQ(registration.registrations, 1);
    EXPECT_TRUE(fresh.isConnected());
}

TEST_F(HelperConnectionTest, ApprovalIsAskedForBeforeAndAfterRegisteringAndNeverRegisteredTwice) {
    registration.status = ServiceStatus::notRegistered;
    registration.statusAfterRegistering = ServiceStatus::requiresApproval;
    HelperConnection connection(registration, onBus());
    QCoreApplication::processEvents();
    EXPECT_EQ(failureOf(connection.installHelper()), kApproval);
    EXPECT_EQ(failureOf(connection.installHelper()), kApproval);
    EXPECT_EQ(registration.registrations, 1);
    EXPECT_FALSE(connection.isConnected());
}

TEST_F(HelperConnectionTest, ARegistrationErrorNamesTheStatusDomainCodeAndDescription) {
    registration.status = ServiceStatus::notRegistered;
    registration.registrationFailure = RegistrationError{"D", 1, "X"};
    HelperConnection connection(registration, onBus());
    EXPECT_EQ(failureOf(connection.installHelper()),
              ThrottleError::helperError("Failed to register helper (status was 0): D 1 — X"));

    registration.status = ServiceStatus::notFound;
    EXPECT_EQ(failureOf(connection.installHelper())->payload().toStdString(),
              "Failed to register helper (status was 3): D 1 — X");
}

TEST_F(HelperConnectionTest, AnUnreachableBusIsACommunicationFailureWithItsReason) {
    HelperConnection connection(registration, {BusEndpoint("unix:path=/nonexistent/bus")});
    const std::optional<ThrottleError> failure = failureOf(connection.getStatus());
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->errorCase(), ThrottleError::Case::helperCommunicationFailed);
    EXPECT_TRUE(failure->payload().startsWith("No connection available: "))
        << failure->payload().toStdString();
    EXPECT_GT(failure->payload().size(), QString("No connection available: ").size());
}

} // namespace

// SPDX-License-Identifier: MIT
#include "HelperConnection.h"

#include "ControlFakes.h"
#include "PrivateBus.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {

// The connection's own wiring: the registration read once the event loop
// runs, and a connection after installing. Its parts have tests of their
// own; calls to the real helper are checked end to end.
class HelperConnectionTest : public testing::Test {
protected:
    HelperConnection::Options onBus() const { return {BusEndpoint(bus.address())}; }

    PrivateBus bus{QList<PrivateBus::Service>{}};
    FakeServiceRegistration registration;
};

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

} // namespace

// SPDX-License-Identifier: MIT
#include "HelperConnection.h"

#include "ControlFakes.h"
#include "HelperProtocol.h"
#include "PrivateBus.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusVirtualObject>
#include <gtest/gtest.h>

namespace {

QVariantMap wireState(quint64 serial) {
    return {{HelperProtocol::State::kActive, false},
            {HelperProtocol::State::kSerial, QVariant::fromValue(serial)}};
}

QDBusMessage stateSignal(quint64 serial) {
    QDBusMessage signal =
        QDBusMessage::createSignal(HelperProtocol::kObjectPath, HelperProtocol::kInterfaceName,
                                   QStringLiteral("StateChanged"));
    signal.setArguments({wireState(serial)});
    return signal;
}

// Owns the helper's name and answers every call as the test says: with the
// named error, or GetState with a state of the serial given; while told, it
// keeps reads unanswered in heldReads.
class ScriptedHelper final : public QDBusVirtualObject {
public:
    explicit ScriptedHelper(QDBusConnection bus)
        : bus(std::move(bus)) {
        this->bus.registerVirtualObject(HelperProtocol::kObjectPath, this);
        this->bus.registerService(HelperProtocol::kServiceName);
    }

    // The bus may call in on a thread of its own: answered on this one.
    bool handleMessage(const QDBusMessage& message, const QDBusConnection&) override {
        QMetaObject::invokeMethod(
            this,
            [this, message] {
                if (!errorName.isEmpty()) {
                    bus.send(message.createErrorReply(errorName, QStringLiteral("because")));
                } else if (holdReads) {
                    heldReads << message;
                } else {
                    bus.send(message.createReply(QVariant(wireState(serial))));
                }
            },
            Qt::QueuedConnection);
        return true;
    }
    QString introspect(const QString&) const override { return {}; }

    QDBusConnection bus;
    QString errorName;
    quint64 serial = 0;
    bool holdReads = false;
    QList<QDBusMessage> heldReads;
};

// HelperConnection's registration paths, and what it makes of a scripted
// helper's answers; calls to the real helper are checked end to end.
class HelperConnectionTest : public testing::Test {
protected:
    HelperConnection::Options onBus() const { return {BusEndpoint(bus.address())}; }

    PrivateBus bus{QList<PrivateBus::Service>{}};
    FakeServiceRegistration registration;
};

const ThrottleError kApproval = ThrottleError::helperError(
    "The helper is installed, but the system bus does not start it yet. Run "
    "scripts/install-helper as root, or reinstall the Veltrane package.");

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

TEST_F(HelperConnectionTest, ARegistrationErrorNamesItsDomainCodeAndDescription) {
    registration.status = ServiceStatus::notRegistered;
    registration.registrationFailure = RegistrationError{"D", 1, "X"};
    HelperConnection connection(registration, onBus());
    EXPECT_EQ(failureOf(connection.installHelper()),
              ThrottleError::helperError("Could not register the helper (D 1): X"));
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

TEST_F(HelperConnectionTest, TheHelpersNamedErrorsAreTheirCasesAndOtherErrorsTheBuses) {
    ScriptedHelper helper(bus.connect("helper"));
    HelperConnection connection(registration, onBus());
    namespace Error = HelperProtocol::Error;
    const QList<std::pair<const char*, ThrottleError>> table{
        {Error::kNotAuthorized, ThrottleError::authorizationDenied()},
        {Error::kInvalidArguments, ThrottleError::helperError("because")},
        {Error::kFailed, ThrottleError::helperError("because")},
        {Error::kTimedOut, ThrottleError::helperError("because")},
        {Error::kNotHolder, ThrottleError::helperError("because")},
        {"org.freedesktop.DBus.Error.UnknownMethod",
         ThrottleError::helperCommunicationFailed("because")},
    };
    for (const auto& [name, expected] : table) {
        helper.errorName = name;
        EXPECT_EQ(failureOf(connection.takeThrottling({1000, 0, 0, 0, 0}, "test", true)), expected)
            << name;
        EXPECT_EQ(failureOf(connection.releaseThrottling()), expected) << name;
        EXPECT_EQ(failureOf(connection.readState()), expected) << name;
    }
}

TEST_F(HelperConnectionTest, OnlyTheHelpersNewerStatesArePublishedAndARestartedOneCountsAfresh) {
    ScriptedHelper helper(bus.connect("helper"));
    helper.serial = 3;
    HelperConnection connection(registration, onBus());
    std::vector<qint64> published; // -1: unavailable
    QObject::connect(&connection, &HelperClient::helperStateChanged,
                     [&published](const HelperState& state) {
                         published.push_back(state.available ? qint64(state.serial) : -1);
                     });
    connection.followState();
    ASSERT_TRUE(waitUntil([&] { return published.size() == 1; }));

    // A read answered after a newer signal is stale; a signal from anyone
    // but the helper is not the helper's.
    helper.holdReads = true;
    QCoro::Task<HelperState> read = connection.readState();
    ASSERT_TRUE(waitUntil([&] { return helper.heldReads.size() == 1; }));
    helper.bus.send(stateSignal(5));
    helper.bus.send(helper.heldReads.takeFirst().createReply(QVariant(wireState(4))));
    QDBusConnection impostor = bus.connect("impostor");
    impostor.send(stateSignal(9));
    impostor.interface()->isServiceRegistered("flush"); // the bus has passed it on
    helper.bus.send(stateSignal(6));
    EXPECT_EQ(finish(std::move(read)).serial, 4u); // the caller still gets its answer

    helper.holdReads = false;
    helper.bus.unregisterService(HelperProtocol::kServiceName);
    ASSERT_TRUE(waitUntil([&] { return published.back() == -1; }));
    helper.serial = 1;
    helper.bus.registerService(HelperProtocol::kServiceName);
    ASSERT_TRUE(waitUntil([&] { return published.size() == 5; }));
    EXPECT_EQ(published, (std::vector<qint64>{3, 5, 6, -1, 1}));
}

} // namespace

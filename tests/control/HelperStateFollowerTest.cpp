// SPDX-License-Identifier: MIT
#include "HelperStateFollower.h"

#include "ControlFakes.h"
#include "HelperProtocol.h"
#include "PrivateBus.h"

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

// Owns the helper's name and answers GetState with a state of the serial
// given; while told, it keeps reads unanswered in heldReads.
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
                if (holdReads) {
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
    quint64 serial = 0;
    bool holdReads = false;
    QList<QDBusMessage> heldReads;
};

TEST(HelperStateFollowerTest, OnlyTheHelpersNewerStatesArePublishedAndARestartedOneCountsAfresh) {
    PrivateBus bus{QList<PrivateBus::Service>{}};
    ScriptedHelper helper(bus.connect("helper"));
    helper.serial = 3;
    HelperBusConnection connection(BusEndpoint(bus.address()), std::chrono::seconds(10));
    HelperStateFollower follower(connection, HelperReplyMapper([](const QString&) {}));
    std::vector<qint64> published; // -1: unavailable
    QObject::connect(&follower, &HelperStateFollower::helperStateChanged,
                     [&published](const HelperState& state) {
                         published.push_back(state.available ? qint64(state.serial) : -1);
                     });
    follower.follow();
    ASSERT_TRUE(waitUntil([&] { return published.size() == 1; }));

    // A read answered after a newer signal is stale; a signal from anyone
    // but the helper is not the helper's.
    helper.holdReads = true;
    QCoro::Task<HelperState> read = follower.read();
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

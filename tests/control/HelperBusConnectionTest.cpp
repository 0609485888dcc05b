// SPDX-License-Identifier: MIT
#include "HelperBusConnection.h"

#include "PrivateBus.h"
#include "ThrottleError.h"

#include <QMetaMethod>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>

namespace {

using namespace std::chrono_literals;

// Notes whether QtDBus's thread ever disconnected it from everything, as it
// does to each object still subscribed to a connection it tears down: in
// its own thread, without waiting for the thread that owns the object.
class Subscriber final : public QObject {
public:
    std::atomic<bool> droppedByTheBusThread{false};

protected:
    void disconnectNotify(const QMetaMethod& signal) override {
        if (!signal.isValid() && QThread::currentThread() != thread()) {
            droppedByTheBusThread = true;
        }
    }
};

TEST(HelperBusConnectionTest, AnUnreachableBusIsACommunicationFailureWithItsReason) {
    HelperBusConnection connection(BusEndpoint("unix:path=/nonexistent/bus"),
                                   std::chrono::seconds(10));
    try {
        connection.callableProxy();
        FAIL() << "a bus that is not there was reached";
    } catch (const ThrottleError& failure) {
        EXPECT_EQ(failure.errorCase(), ThrottleError::Case::helperCommunicationFailed);
        EXPECT_TRUE(failure.payload().startsWith("No connection available: "))
            << failure.payload().toStdString();
        EXPECT_GT(failure.payload().size(), QString("No connection available: ").size());
    }
    EXPECT_FALSE(connection.isOpened());
}

TEST(HelperBusConnectionTest, ItsSubscribersAreLeftAloneWhenTheConnectionCloses) {
    PrivateBus bus({});
    Subscriber subscriber;
    {
        HelperBusConnection connection(BusEndpoint(bus.address()), 10s);
        connection.open();
        connection.subscribe(QStringLiteral("/com/veltrane/Test"),
                             QStringLiteral("com.veltrane.Test"), QStringLiteral("Changed"),
                             &subscriber, SLOT(deleteLater()));
    }
    // QtDBus's thread takes requests in order: once it has made this
    // connection, it has deleted the closed one.
    QDBusConnection::connectToBus(bus.address(), QStringLiteral("after"));
    QDBusConnection::disconnectFromBus(QStringLiteral("after"));
    EXPECT_FALSE(subscriber.droppedByTheBusThread);
}

} // namespace

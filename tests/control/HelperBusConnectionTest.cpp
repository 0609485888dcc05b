// SPDX-License-Identifier: MIT
#include "HelperBusConnection.h"

#include "ThrottleError.h"

#include <gtest/gtest.h>

namespace {

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

} // namespace

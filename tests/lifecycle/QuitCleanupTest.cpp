// SPDX-License-Identifier: MIT
#include "QuitCleanup.h"

#include "LifecycleWorld.h"

#include <QThread>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

using testing::Contains;
using testing::ElementsAre;

namespace {

using namespace std::chrono_literals;

// The clean-up over the real service, with a fake helper behind both the
// service's connection and any fresh one.
class QuitCleanupTest : public testing::Test, protected LifecycleWorld {
protected:
    std::unique_ptr<QuitCleanup> cleanup() {
        return std::make_unique<QuitCleanup>(
            defaults,
            [this] {
                // Only inside the clean-up's bounded wait.
                connectedInLoop.push_back(QThread::currentThread()->loopLevel() > 0);
                return std::make_unique<ConnectionTo>(helper);
            },
            200ms, log);
    }
    std::unique_ptr<QuitCleanup> attachedCleanup() {
        registerService();
        auto attached = cleanup();
        attached->attach(service);
        return attached;
    }

    std::vector<bool> connectedInLoop;
};

TEST_F(QuitCleanupTest, TheFallbackConnectionIsMadeWithinTheBoundAndRemovesOnlyWhatIsOurs) {
    // Before the services are known: a fresh connection asks, and leaves a
    // live client's throttling alone.
    helper.takenBy(otherClient("veltranectl run: make", true));
    cleanup()->perform();
    EXPECT_THAT(lines, ElementsAre("Performing throttling cleanup..."));
    EXPECT_TRUE(helper.active());
    EXPECT_THAT(connectedInLoop, ElementsAre(true));

    // What another user's application left is that user's; an earlier run
    // of this user's is removed.
    helper.takenBy(otherUser("Veltrane"));
    cleanup()->perform();
    EXPECT_TRUE(helper.active());
    helper.takenBy(otherClient("Veltrane", false));
    cleanup()->perform();
    EXPECT_FALSE(helper.active());
    connectedInLoop.resize(1);

    // The service followed the helper: nothing of ours runs, nobody is asked.
    helper.takenBy(otherClient("veltranectl apply: 3G", false));
    attachedCleanup()->perform();
    EXPECT_TRUE(helper.active());
    EXPECT_EQ(connectedInLoop.size(), 1u);

    // Seen from the fresh connection, this process's throttling is still ours.
    lines.clear();
    helper.switchedOff();
    const std::unique_ptr<QuitCleanup> ours = attachedCleanup();
    switchOn();
    helper.nextFailure = std::make_exception_ptr(ThrottleError::helperError("busy"));
    ours->perform();
    ours->perform(); // once per process
    EXPECT_THAT(lines, ElementsAre("Performing throttling cleanup...",
                                   "Failed to disable throttling via service: Helper error: busy",
                                   "Throttling disabled via fallback connection"));
    EXPECT_FALSE(helper.active());
}

TEST_F(QuitCleanupTest, AnEnableStillInFlightIsRemovedBehindIt) {
    const std::unique_ptr<QuitCleanup> quit = attachedCleanup();
    helper.gated = true;
    const QCoro::Task<> enabling = service.applyProfile(preset("3G"));
    quit->perform();
    EXPECT_EQ(helper.disables, 1);
    EXPECT_THAT(lines, Contains("Cleanup timed out"));
    // The helper carries out one client's calls in order.
    helper.release();
    EXPECT_FALSE(helper.active());
}

} // namespace

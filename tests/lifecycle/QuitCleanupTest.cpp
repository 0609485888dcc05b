// SPDX-License-Identifier: MIT
#include "QuitCleanup.h"

#include "LifecycleWorld.h"

#include <QThread>
#include <QTimer>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

using testing::Contains;
using testing::ElementsAre;
using testing::IsEmpty;

namespace {

using namespace std::chrono_literals;

// The clean-up over the real service, with a fake helper behind both the
// service's connection and any fresh one.
class QuitCleanupTest : public testing::Test, protected LifecycleWorld {
protected:
    std::unique_ptr<QuitCleanup> cleanup(std::chrono::milliseconds bound = 200ms) {
        return std::make_unique<QuitCleanup>(
            defaults,
            [this] {
                // Only inside the clean-up's bounded wait.
                connectedInLoop.push_back(QThread::currentThread()->loopLevel() > 0);
                return std::make_unique<ConnectionTo>(helper);
            },
            bound, log);
    }
    std::unique_ptr<QuitCleanup> attachedCleanup(std::chrono::milliseconds bound = 200ms) {
        registerService();
        auto attached = cleanup(bound);
        attached->attach(service);
        return attached;
    }

    std::vector<bool> connectedInLoop;
};

TEST_F(QuitCleanupTest, TheFallbackConnectionIsMadeWithinTheBoundAndEndsOnlyWhatIsOurs) {
    // Before the services are known: a fresh connection asks, and leaves a
    // live client's throttle alone.
    const quint64 live = beside(otherClient("veltranectl run: make", true));
    cleanup()->perform();
    EXPECT_THAT(lines, ElementsAre("Performing throttling cleanup..."));
    EXPECT_THAT(helper.ends, IsEmpty());
    EXPECT_THAT(connectedInLoop, ElementsAre(true));

    // What another user's application left is that user's; an earlier run
    // of this user's is ended.
    const quint64 otherUsers = beside(otherUser("Veltrane"), "10.9.9.8");
    const quint64 earlierRun = helper.takenBy(otherClient("Veltrane", false));
    cleanup()->perform();
    EXPECT_THAT(helper.ends, ElementsAre(earlierRun));
    connectedInLoop.resize(1);

    // The service followed the helper: nothing of ours runs, nobody is asked.
    const quint64 applied = beside(otherClient("veltranectl apply: 3G", false), "10.9.9.7");
    attachedCleanup()->perform();
    EXPECT_EQ(helper.ends.size(), 1u);
    EXPECT_EQ(connectedInLoop.size(), 1u);

    // Seen from the fresh connection, this process's throttle is still ours.
    lines.clear();
    const std::unique_ptr<QuitCleanup> ours = attachedCleanup();
    switchOn();
    helper.nextFailure = std::make_exception_ptr(ThrottleError::helperError("busy"));
    ours->perform();
    ours->perform(); // once per process
    EXPECT_THAT(lines, ElementsAre("Performing throttling cleanup...",
                                   "Failed to disable throttling via service: Helper error: busy",
                                   "Throttling disabled via fallback connection"));
    EXPECT_FALSE(ownThrottleOn());
    EXPECT_THAT(helper.throttles, ElementsAre(testing::Field(&HelperThrottle::id, live),
                                              testing::Field(&HelperThrottle::id, otherUsers),
                                              testing::Field(&HelperThrottle::id, applied)));
    EXPECT_EQ(helper.disables, 0);
}

TEST_F(QuitCleanupTest, AnEnableStillInFlightIsEndedWithinTheBoundOnceItIsAnswered) {
    const quint64 others = beside(otherClient("veltranectl run: make", true));
    const std::unique_ptr<QuitCleanup> quit = attachedCleanup(30s);
    helper.gated = true;
    const QCoro::Task<> enabling = service.applyProfile(preset("3G"));
    // Answered while the clean-up waits.
    QTimer::singleShot(50ms, &service, [this] {
        helper.gated = false;
        helper.release();
    });
    quit->perform();
    EXPECT_THAT(lines, Contains("Throttling disabled via registered service"));
    // A clean-up that had not waited would leave it to land now.
    helper.gated = false;
    helper.release();
    EXPECT_FALSE(ownThrottleOn());
    EXPECT_THAT(helper.throttles, ElementsAre(testing::Field(&HelperThrottle::id, others)));
}

} // namespace

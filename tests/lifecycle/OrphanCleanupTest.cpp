// SPDX-License-Identifier: MIT
#include "OrphanCleanup.h"

#include "LifecycleWorld.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

class OrphanCleanupTest : public testing::Test, protected LifecycleWorld {
protected:
    OrphanCleanup cleanup{registration, notifier, log};
};

struct OrphanCase {
    const char* name;
    ThrottleOwner owner;
    bool leftBehind;

    friend void PrintTo(const OrphanCase& orphan, std::ostream* out) { *out << orphan.name; }
};

class OrphanTest : public OrphanCleanupTest, public testing::WithParamInterface<OrphanCase> {};

TEST_P(OrphanTest, OnlyAThrottleNobodyIsResponsibleForIsEndedAndAnnouncedOnceOff) {
    const bool removed = GetParam().leftBehind;
    // Beside it, a live holder's and another user's, which stay whatever it is.
    const quint64 holders = beside(otherClient("veltranectl run: make", true));
    const quint64 otherUsers = beside(otherUser("Veltrane"), "10.9.9.8");
    const quint64 id = helper.takenBy(GetParam().owner);
    helper.gated = true;
    cleanup.run(&service);
    EXPECT_THAT(notified(), IsEmpty()); // not before the removal succeeded
    helper.release();
    EXPECT_EQ(helper.ends, removed ? std::vector<quint64>{id} : std::vector<quint64>{});
    EXPECT_EQ(helper.lists(id), !removed);
    EXPECT_TRUE(helper.lists(holders));
    EXPECT_TRUE(helper.lists(otherUsers));
    EXPECT_EQ(helper.disables, 0);
    const QStringList removal{"Warning: Throttling is still active from previous session",
                              "Disabled orphaned throttling from previous session"};
    EXPECT_EQ(lines, removed ? removal : QStringList());
    EXPECT_EQ(notified(), removed ? QStringList("throttling-cleanup") : QStringList());
}

INSTANTIATE_TEST_SUITE_P(
    Owners, OrphanTest,
    testing::Values(OrphanCase{"olderClient", otherClient("", false), true},
                    OrphanCase{"earlierRun", otherClient("Veltrane", false), true},
                    OrphanCase{"liveHolder", otherClient("Veltrane", true), false},
                    OrphanCase{"commandLine", otherClient("veltranectl apply: 3G", false), false},
                    OrphanCase{"heldRun", otherClient("veltranectl run: make", true), false},
                    OrphanCase{"anotherUsersRun", otherUser("Veltrane"), false},
                    OrphanCase{"anotherUsersOlderClient", otherUser(""), false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OrphanCleanupTest, AHelperThatIsMissingCannotSayOrCannotRemoveIsOnlyReported) {
    const quint64 others = beside(otherClient("veltranectl run: make", true));
    helper.takenBy(otherClient("Veltrane", false));
    helper.nextFailure = std::make_exception_ptr(ThrottleError::helperError("denied"));
    cleanup.run(&service);
    EXPECT_THAT(lines, ElementsAre("Failed to query helper status: Helper error: denied"));
    // Installed, yet silent: said as such, not as a missing helper.
    EXPECT_THAT(userNotifications.bodies,
                ElementsAre("The helper is installed but not responding."));
    userNotifications.posted.clear();
    lines.clear();

    helper.gated = true;
    cleanup.run(&service);
    helper.nextFailure = std::make_exception_ptr(ThrottleError::helperError("busy"));
    helper.release();
    EXPECT_THAT(lines, ElementsAre("Warning: Throttling is still active from previous session",
                                   "Failed to disable orphaned throttling: Helper error: busy"));
    EXPECT_THAT(notified(), IsEmpty());

    for (const auto& [status, body] :
         {std::pair{ServiceStatus::notFound, "The helper is not installed."},
          std::pair{ServiceStatus::busUnreachable, "Veltrane cannot reach the system bus."}}) {
        registration.status = status;
        userNotifications.bodies.clear();
        cleanup.run(&service);
        EXPECT_THAT(userNotifications.bodies, ElementsAre(body));
    }
    EXPECT_EQ(helper.statusQueries, 2);
    EXPECT_EQ(helper.ends.size(), 1u);
    EXPECT_TRUE(helper.lists(others));
    EXPECT_THAT(notified(), ElementsAre("helper-not-installed", "helper-not-installed"));
}

} // namespace

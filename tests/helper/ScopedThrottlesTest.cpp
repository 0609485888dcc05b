// SPDX-License-Identifier: MIT
// Several throttles at once in the engine, shaped by the stand-in backend,
// whose record shows the layout in force.
#include "FakeToolSandbox.h"
#include "LogCapture.h"
#include "StandInBackend.h"
#include "ThrottlingManager.h"
#include "WhatThrows.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;

namespace {

ThrottleScope onlyTo(const std::string& text) {
    std::string failure;
    return {{*Destination::parse(text, failure)}, {}, {}};
}

class ScopedThrottlesTest : public testing::Test {
protected:
    std::string inForce() const {
        return sandbox.exists("/layout") ? sandbox.readFile("/layout") : "(nothing)";
    }
    std::uint64_t enable(std::int64_t down, const ThrottleScope& scope = {}) {
        return manager.enableThrottling({down, 0, 0, 0.0, 0}, scope);
    }
    std::vector<std::uint64_t> ids() const {
        std::vector<std::uint64_t> ids;
        for (const auto& throttle : manager.throttles()) {
            ids.push_back(throttle.id);
        }
        return ids;
    }

    FakeToolSandbox sandbox;
    LogCapture log;
    ThrottlingManager manager{
        log.logger(), std::make_unique<StandInBackend>(log.logger(), sandbox.path("/layout"))};
};

TEST_F(ScopedThrottlesTest, ScopedThrottlesGoBesideTheWholeMachinesWhichAnEnableReplaces) {
    EXPECT_EQ(enable(1000), 1u);
    EXPECT_EQ(enable(2000, onlyTo("10.0.0.0/8")), 2u);
    EXPECT_EQ(enable(3000, onlyTo(":443")), 3u);
    // The whole machine's is replaced, keeping its slot; the others stay.
    EXPECT_EQ(enable(4000), 4u);
    EXPECT_THAT(ids(), ElementsAre(2, 3, 4));
    EXPECT_EQ(inForce(), "slot 1 machine down=4000B/s up=0B/s\n"
                         "slot 2 only to 10.0.0.0/8 down=2000B/s up=0B/s\n"
                         "slot 3 only to :443 down=3000B/s up=0B/s\n");
    // Applied once from nothing, changed in place after.
    EXPECT_THAT(log.messages(), testing::Contains("Stand-in applied 1 throttles"));
    EXPECT_THAT(log.messages(), testing::Contains("Stand-in changed to 3 throttles"));
    EXPECT_THAT(log.messages(), testing::Contains("Enabling throttle 3 only to :443: down=3000B/s "
                                                  "up=0B/s latency=0ms loss=0.0% dns=0ms"));
    EXPECT_THAT(log.messages(), testing::Contains("Throttle 3 enabled"));

    // An ended slot is the next scoped throttle's; ids are never given again.
    ASSERT_TRUE(manager.endThrottle(2));
    EXPECT_EQ(enable(5000, {.cgroups = {"user.slice/run.scope"}}), 5u);
    EXPECT_EQ(inForce(), "slot 1 machine down=4000B/s up=0B/s\n"
                         "slot 2 cgroup user.slice/run.scope down=5000B/s up=0B/s\n"
                         "slot 3 only to :443 down=3000B/s up=0B/s\n");
}

TEST_F(ScopedThrottlesTest, TheNinthScopedThrottleIsRefusedBeforeAnythingIsTouched) {
    for (int i = 0; i < 8; ++i) {
        enable(1000 + i, onlyTo("10.0.0." + std::to_string(i + 1)));
    }
    const std::string before = inForce();
    EXPECT_EQ(whatThrows([&] { enable(1, onlyTo("10.0.0.99")); }),
              "Validation failed: At most 8 scoped throttles can be on at once; end one first");
    EXPECT_EQ(inForce(), before);
    // The whole machine's has a slot of its own.
    EXPECT_EQ(enable(2), 9u);
    EXPECT_EQ(manager.throttles().size(), 9u);
    // What the engine cannot shape is refused as well, host names first.
    Destination host;
    host.kind = Destination::Kind::hostName;
    host.hostName = "a.example";
    EXPECT_EQ(whatThrows([&] {
                  enable(1, {{host}, {}, {}});
              }),
              "Validation failed: Destination a.example must be resolved to its addresses before "
              "it is sent");
}

TEST_F(ScopedThrottlesTest, EndingOneKeepsTheOthersAndEndingTheLastRemovesEverything) {
    enable(1000);
    enable(2000, onlyTo("192.0.2.7:443"));
    EXPECT_FALSE(manager.endThrottle(7));
    ASSERT_TRUE(manager.endThrottle(1));
    EXPECT_FALSE(manager.endThrottle(1));
    EXPECT_EQ(inForce(), "slot 2 only to 192.0.2.7:443 down=2000B/s up=0B/s\n");
    EXPECT_THAT(log.messages(), testing::Contains("Ended throttle 1"));
    EXPECT_TRUE(manager.isActive());

    ASSERT_TRUE(manager.endThrottle(2));
    EXPECT_EQ(inForce(), "(nothing)");
    EXPECT_FALSE(manager.isActive());
    EXPECT_TRUE(manager.throttles().empty());
}

TEST_F(ScopedThrottlesTest, WhereNothingChangesInPlaceTheRestIsAppliedAfreshAndDisableEndsAll) {
    ThrottlingManager fresh{log.logger(), std::make_unique<StandInBackend>(
                                              log.logger(), sandbox.path("/layout"), false)};
    fresh.enableThrottling({1000, 0, 0, 0.0, 0}, onlyTo("10.0.0.1"));
    fresh.enableThrottling({2000, 0, 0, 0.0, 0}, onlyTo("10.0.0.2"));
    ASSERT_TRUE(fresh.endThrottle(1));
    EXPECT_EQ(inForce(), "slot 3 only to 10.0.0.2 down=2000B/s up=0B/s\n");
    EXPECT_THAT(log.messages(), testing::Contains("Stand-in applied 2 throttles"));
    fresh.disableThrottling();
    EXPECT_EQ(inForce(), "(nothing)");
    EXPECT_TRUE(fresh.throttles().empty());
}

} // namespace

TEST_F(ScopedThrottlesTest, AScheduleStartsAtItsFirstStepAndEachStepChangesItsThrottleAlone) {
    ThrottleSchedule schedule;
    schedule.trace = {100, {800, 0}, {}};
    const std::uint64_t played =
        manager.enableThrottling({5000, 0, 0, 0.0, 0}, onlyTo(":443"), {}, schedule);
    const std::uint64_t beside = enable(2000, onlyTo("10.0.0.0/8"));
    EXPECT_EQ(inForce(), "slot 2 only to :443 down=800B/s up=0B/s\n"
                         "slot 3 only to 10.0.0.0/8 down=2000B/s up=0B/s\n");
    const std::size_t logged = log.messages().size();

    // A gap of the trace blocks the direction at the throttle's own rate.
    EXPECT_TRUE(manager.changeConditions(played, schedule.at(100, {5000, 0, 0, 0.0, 0})));
    EXPECT_EQ(inForce(), "slot 2 only to :443 down=5000B/s up=0B/s\n"
                         "slot 3 only to 10.0.0.0/8 down=2000B/s up=0B/s\n");
    EXPECT_TRUE(manager.throttles().at(0).blocksDownload);
    EXPECT_FALSE(manager.throttles().at(0).blocksUpload);
    EXPECT_EQ(manager.throttles().at(1).parameters.downloadBytesPerSecond, 2000);
    // Quietly, as it comes ten times a second.
    EXPECT_EQ(log.messages().size(), logged);

    // A step that comes after its throttle ended makes nothing.
    manager.endThrottle(played);
    const std::string after = inForce();
    EXPECT_FALSE(manager.changeConditions(played, schedule.at(0, {5000, 0, 0, 0.0, 0})));
    EXPECT_EQ(inForce(), after);
    EXPECT_THAT(ids(), ElementsAre(beside));

    // Every phase must be one the backend can shape; a phase out of bounds
    // is refused before anything is touched.
    ThrottleSchedule tooShort;
    tooShort.phases = {{"Blip", 50, false, {}}};
    EXPECT_EQ(whatThrows([&] { manager.enableThrottling({}, {}, {}, tooShort); }),
              "Validation failed: Phase 1 (Blip): a phase lasts 100 ms to 24 h, not 50 ms");
    EXPECT_EQ(inForce(), after);
}

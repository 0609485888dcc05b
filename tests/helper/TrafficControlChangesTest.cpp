// SPDX-License-Identifier: MIT
#include "TrafficControlChanges.h"

#include "TrafficControlFixture.h"
#include "WhatThrows.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

using testing::Contains;
using testing::ElementsAreArray;
using testing::EndsWith;

namespace {

class TrafficControlChangesTest : public TrafficControlFixture {
protected:
    void shapeEth0() {
        changes.shape({{"eth0", 2}},
                      ShapingLayout::wholeMachine(ShapingPlan::from({125'000, 0, 100, 0, 0})));
    }
    void undoAll() { changes.undo(changes.recorded()); }
    TrafficControlChanges changes{log.logger(), tools, paths.changeRecord};
};

TEST_F(TrafficControlChangesTest,
       AChangeWhoseToolRefusedLeavesTheRecordAndTheRollBackUndoesTheRest) {
    const struct {
        const char* tool;
        const char* refused;
        const char* recorded;
        std::vector<std::string> undone;
    } cases[] = {
        // What a step failed to make is not undone: what is there may be
        // another program's by now.
        {"ip", "link add vtifb-eth0 type ifb", "", {}},
        // A step that makes nothing of its own leaves what came before.
        {"ip",
         "link set dev vtifb-eth0 up",
         "device vtifb-eth0\n",
         {"ip link delete dev vtifb-eth0"}},
        // In tc's batch: what the lines before made stays, what the refused
        // line and those after it would have made goes.
        {"tc",
         "qdisc add dev eth0 root handle 5654: htb default 0",
         "device vtifb-eth0\n",
         {"ip link delete dev vtifb-eth0"}},
        {"tc",
         "qdisc add dev eth0 handle ffff: ingress",
         "device vtifb-eth0\nqdisc eth0 root\n",
         {"tc qdisc del dev eth0 root handle 5654:", "ip link delete dev vtifb-eth0"}},
    };
    for (const auto& each : cases) {
        sandbox.clearAnswers();
        sandbox.answer(each.tool, each.refused, 2, "", "no");
        EXPECT_THAT(whatThrows([this] { shapeEth0(); }), EndsWith(" eth0: no"));
        EXPECT_EQ(record(), each.recorded) << each.refused;

        sandbox.clearToolRuns();
        changes.rollBack();
        EXPECT_THAT(sandbox.toolRuns(), ElementsAreArray(each.undone)) << each.refused;
        EXPECT_EQ(record(), "");
    }
    EXPECT_THAT(log.messages(), Contains("Removing the shaping of the failed enable"));
}

TEST_F(TrafficControlChangesTest, WhatCouldNotBeUndoneStaysOnRecordUntilTheNextTryUndoesIt) {
    shapeEth0();
    sandbox.answer("ip", "link delete dev vtifb-eth0", 2, "",
                   "RTNETLINK answers: Operation not permitted");
    std::filesystem::rename(sandbox.path("/usr/sbin/tc"), sandbox.path("/usr/sbin/tc.away"));
    EXPECT_EQ(whatThrows([this] { undoAll(); }),
              "Could not remove all shaping: " + paths.tc +
                  " qdisc del dev eth0 handle ffff: ingress: No such file or directory; " +
                  paths.tc + " qdisc del dev eth0 root handle 5654:: No such file or directory; " +
                  paths.ip +
                  " link delete dev vtifb-eth0: RTNETLINK answers: Operation not permitted");
    EXPECT_EQ(record(), kEth0Record);

    // The next try undoes only what is still listed.
    std::filesystem::rename(sandbox.path("/usr/sbin/tc.away"), sandbox.path("/usr/sbin/tc"));
    EXPECT_THAT(whatThrows([this] { undoAll(); }),
                EndsWith("link delete dev vtifb-eth0: RTNETLINK answers: Operation not permitted"));
    EXPECT_EQ(record(), "device vtifb-eth0\n");
    sandbox.clearAnswers();
    sandbox.clearToolRuns();
    undoAll();
    EXPECT_THAT(sandbox.toolRuns(), testing::ElementsAre("ip link delete dev vtifb-eth0"));
    EXPECT_EQ(record(), "");

    // A record that cannot be read is not taken for an empty one.
    shapeEth0();
    std::filesystem::remove(sandbox.path("/run/veltrane/shaping.record"));
    std::filesystem::create_directory(sandbox.path("/run/veltrane/shaping.record"));
    EXPECT_EQ(whatThrows([this] { changes.recorded(); }),
              "File error: Failed to read the change record: Is a directory");
}

} // namespace

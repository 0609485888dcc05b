// SPDX-License-Identifier: MIT
#include "TrafficControlTools.h"

#include "ShapingPlan.h"
#include "TrafficControlFixture.h"
#include "TrafficControlSteps.h"
#include "WhatThrows.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace {

using TrafficControlToolsTest = TrafficControlFixture;

TEST_F(TrafficControlToolsTest, AStepTheKernelCannotTakeNamesWhatTheKernelLacks) {
    const std::vector<TrafficControlStep> steps = TrafficControlSteps::shaping(
        "eth0", "vtifb-eth0", "1564", ShapingPlan::from({125'000, 250'000, 100, 5.0, 0}));
    const struct {
        size_t step;
        const char* tool;
        const char* output;
        std::string failure;
    } cases[] = {
        {14, "tc", "Error: Specified qdisc kind is unknown.",
         "Failed to configure upload shaping on eth0: the kernel lacks netem (module sch_netem): "
         "Error: Specified qdisc kind is unknown."},
        {6, "ip", "Error: Unknown device type.",
         "Failed to create the download device for eth0: the kernel lacks IFB (module ifb): "
         "Error: Unknown device type."},
        // Any other refusal is quoted as it is.
        {14, "tc", "RTNETLINK answers: File exists",
         "Failed to configure upload shaping on eth0: RTNETLINK answers: File exists"},
        // A step that adds no kernel feature of its own names none.
        {1, "tc", "Error: Specified qdisc kind is unknown.",
         "Failed to set up upload shaping on eth0: Error: Specified qdisc kind is unknown."},
    };
    for (const auto& each : cases) {
        sandbox.clearAnswers();
        sandbox.answer(each.tool, "*", 2, "", each.output);
        EXPECT_EQ(whatThrows([&] { tools.run(steps.at(each.step)); }),
                  "Command failed: " + each.failure);
    }
}

TEST_F(TrafficControlToolsTest, ARemovalWhoseTargetIsGoneAlreadyHasNothingLeftToDo) {
    const TrafficControlStep removal{TrafficControlStep::Tool::tc,
                                     {"qdisc", "del", "dev", "eth0", "root", "handle", "5654:"}};
    // tc and ip say so when what a step removes is gone already.
    for (const char* gone : {"Cannot find device \"eth0\"", "Error: Invalid handle.",
                             "Error: Cannot delete qdisc with handle of zero.",
                             "Error: Cannot find specified qdisc on specified device."}) {
        sandbox.clearAnswers();
        sandbox.answer("tc", "*", 2, "", gone);
        EXPECT_EQ(tools.runRemoval(removal), std::nullopt) << gone;
    }

    const std::string commandLine = paths.tc + " qdisc del dev eth0 root handle 5654:";
    sandbox.clearAnswers();
    sandbox.answer("tc", "*", 2, "", "RTNETLINK answers: Operation not permitted");
    EXPECT_EQ(tools.runRemoval(removal),
              commandLine + ": RTNETLINK answers: Operation not permitted");
    sandbox.clearAnswers();
    sandbox.answer("tc", "*", 3);
    EXPECT_EQ(tools.runRemoval(removal), commandLine + ": exit status 3");
    // A tool that is missing has removed nothing, whatever its error says.
    std::filesystem::remove(sandbox.path("/usr/sbin/tc"));
    EXPECT_EQ(tools.runRemoval(removal), commandLine + ": No such file or directory");
}

} // namespace

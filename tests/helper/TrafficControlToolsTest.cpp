// SPDX-License-Identifier: MIT
#include "TrafficControlTools.h"

#include "ShapingLayout.h"
#include "TrafficControlFixture.h"
#include "TrafficControlSteps.h"
#include "WhatThrows.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>

using testing::ElementsAre;
using testing::MatchesRegex;

namespace {

using TrafficControlToolsTest = TrafficControlFixture;

std::vector<TrafficControlStep> shapingSteps(const std::string& interface) {
    return TrafficControlSteps::shaping(
        interface, "vtifb-" + interface, "1564",
        ShapingLayout::wholeMachine(ShapingPlan::from({125'000, 250'000, 100, 5.0, 0})));
}

std::string refusalOf(const TrafficControlTools::Progress& progress) {
    return progress.refusal ? progress.refusal->what() : "";
}

TEST_F(TrafficControlToolsTest, AStepTheKernelCannotTakeNamesWhatTheKernelLacks) {
    const std::vector<TrafficControlStep> steps = shapingSteps("eth0");
    const size_t redirect = static_cast<size_t>(
        std::find_if(steps.begin(), steps.end(),
                     [](const TrafficControlStep& step) {
                         return std::find(step.arguments.begin(), step.arguments.end(), "mirred") !=
                                step.arguments.end();
                     }) -
        steps.begin());
    const struct {
        size_t step;
        const char* tool;
        const char* output;
        std::string failure;
    } cases[] = {
        {16, "tc", "Error: Specified qdisc kind is unknown.",
         "Failed to configure upload shaping on eth0: the kernel lacks netem (module sch_netem): "
         "Error: Specified qdisc kind is unknown."},
        {6, "ip", "Error: Unknown device type.",
         "Failed to create the download device for eth0: the kernel lacks IFB (module ifb): "
         "Error: Unknown device type."},
        {redirect, "tc", "Failed to load TC action module.",
         "Failed to redirect download traffic on eth0: the kernel lacks the redirecting actions "
         "(modules act_skbedit and act_mirred) or the u32 classifier (module cls_u32): Failed to "
         "load TC action module."},
        // Any other refusal is quoted as it is.
        {16, "tc", "RTNETLINK answers: File exists",
         "Failed to configure upload shaping on eth0: RTNETLINK answers: File exists"},
        // A step that adds no kernel feature of its own names none.
        {1, "tc", "Error: Specified qdisc kind is unknown.",
         "Failed to set up upload shaping on eth0: Error: Specified qdisc kind is unknown."},
    };
    for (const auto& each : cases) {
        sandbox.clearAnswers();
        sandbox.answer(each.tool, "*", 2, "", each.output);
        EXPECT_EQ(refusalOf(tools.runAll({steps.at(each.step)})),
                  "Command failed: " + each.failure);
    }
}

TEST_F(TrafficControlToolsTest, EachRunOfOneToolsStepsIsOneProcessThatStopsAtTheRefusedStep) {
    const std::vector<TrafficControlStep> steps = shapingSteps("eth0");
    // The ingress qdisc: after the upload path and the device.
    sandbox.answer("tc", "qdisc add dev eth0 handle ffff: ingress", 2, "", "no");
    const TrafficControlTools::Progress progress = tools.runAll(steps);
    EXPECT_EQ(progress.made, 10U);
    EXPECT_EQ(refusalOf(progress),
              "Command failed: Failed to redirect download traffic on eth0: no");
    EXPECT_EQ(sandbox.toolRuns().size(), 11U) << "a step after the refused one ran";
    const std::string batch = "-batch /run/veltrane/\\.batch\\.veltrane-[A-Za-z0-9]{6}";
    EXPECT_THAT(sandbox.toolProcesses(),
                ElementsAre(MatchesRegex("tc " + batch), MatchesRegex("ip " + batch),
                            MatchesRegex("tc " + batch)));
    // The files went with their runs.
    EXPECT_TRUE(std::filesystem::is_empty(sandbox.path("/run/veltrane")));

    // tc would cut a batch line at a '#': such a name's steps run one by one.
    sandbox.clearAnswers();
    sandbox.clearToolRuns();
    EXPECT_EQ(refusalOf(tools.runAll(shapingSteps("eth#0"))), "");
    EXPECT_EQ(sandbox.toolProcesses().size(), steps.size());
    EXPECT_EQ(sandbox.toolRuns().front(), "tc qdisc add dev eth#0 root handle 5654: htb default 0");
}

TEST_F(TrafficControlToolsTest, ARemovalWhoseTargetIsGoneAlreadyHasNothingLeftToDo) {
    const TrafficControlStep removal{TrafficControlStep::Tool::tc,
                                     {"qdisc", "del", "dev", "eth0", "root", "handle", "5654:"}};
    const auto failureOf = [&](const TrafficControlStep& step) {
        return tools.removeAll({step}).at(0);
    };
    // tc and ip say so when what a step removes is gone already.
    for (const char* gone : {"Cannot find device \"eth0\"", "Error: Invalid handle.",
                             "Error: Cannot delete qdisc with handle of zero.",
                             "Error: Cannot find specified qdisc on specified device."}) {
        sandbox.clearAnswers();
        sandbox.answer("tc", "*", 2, "", gone);
        EXPECT_EQ(failureOf(removal), std::nullopt) << gone;
    }

    const std::string commandLine = paths.tc + " qdisc del dev eth0 root handle 5654:";
    sandbox.clearAnswers();
    sandbox.answer("tc", "*", 2, "", "RTNETLINK answers: Operation not permitted");
    EXPECT_EQ(failureOf(removal), commandLine + ": RTNETLINK answers: Operation not permitted");
    sandbox.clearAnswers();
    sandbox.answer("tc", "*", 3);
    EXPECT_EQ(failureOf(removal), commandLine + ": exit status 3");

    // A failing removal does not stop the ones after it, even with a tc
    // started ahead: that one stops at a refusal, so removals run their own.
    sandbox.clearAnswers();
    tools.startAhead();
    sandbox.clearToolRuns();
    sandbox.answer("tc", "qdisc del dev eth0 root handle 5654:", 2, "", "busy");
    const TrafficControlStep before{TrafficControlStep::Tool::tc,
                                    {"qdisc", "del", "dev", "eth1", "root", "handle", "5654:"}};
    const TrafficControlStep after{TrafficControlStep::Tool::tc,
                                   {"qdisc", "del", "dev", "eth0", "handle", "ffff:", "ingress"}};
    EXPECT_THAT(tools.removeAll({before, removal, after}),
                ElementsAre(std::nullopt, commandLine + ": busy", std::nullopt));
    EXPECT_EQ(sandbox.toolRuns().size(), 3U);

    // A tool that is missing has removed nothing, whatever its error says.
    std::filesystem::remove(sandbox.path("/usr/sbin/tc"));
    EXPECT_EQ(failureOf(removal), commandLine + ": No such file or directory");
}

} // namespace

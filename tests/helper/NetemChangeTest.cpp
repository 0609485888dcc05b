// SPDX-License-Identifier: MIT
// Every change of a netem leaf the shaping steps write reads as a message
// to the kernel, so that none falls back to a run of tc; what the kernel
// then holds is compared with tc's own change on a real kernel
// (TrafficControlNetnsTest).
#include "NetemChange.h"

#include "TrafficControlSteps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

ShapingLayout machine(const ThrottleParameters& parameters) {
    return ShapingLayout::wholeMachine(ShapingPlan::from(parameters));
}

std::vector<NetemChange> changesFrom(const ThrottleParameters& before,
                                     const ThrottleParameters& after) {
    std::vector<NetemChange> changes;
    for (const TrafficControlStep& step : TrafficControlSteps::change(
             "eth7", "vtifb-eth7", "1564", machine(before), machine(after))) {
        const auto change = NetemChange::parse(step.arguments);
        EXPECT_TRUE(change.has_value()) << testing::PrintToString(step.arguments);
        if (change) {
            changes.push_back(*change);
        }
    }
    return changes;
}

constexpr double kCertain = std::numeric_limits<std::uint32_t>::max();

} // namespace

TEST(NetemChangeTest, EveryLeafChangeTheStepsWriteReadsWithTheKernelsUnits) {
    ThrottleParameters rich{125'000, 62'500, 101, 5.0, 0};
    rich.jitterMs = 20;
    rich.lossCorrelationPercent = 25;
    rich.reorderPercent = 10;
    rich.duplicatePercent = 1;
    const ThrottleParameters plain{0, 0, 60, 0.0, 0};

    const std::vector<NetemChange> toRich = changesFrom(plain, rich);
    ASSERT_EQ(toRich.size(), 2u);
    const NetemChange& upload = toRich[0];
    EXPECT_EQ(upload.device, "eth7");
    EXPECT_EQ(upload.parent, 0x56550001u);
    EXPECT_EQ(upload.handle, 0x56560000u);
    EXPECT_EQ(upload.rateBytesPerSecond, 62'500u);
    EXPECT_EQ(upload.latencyNs, 51'000'000u);
    EXPECT_EQ(upload.jitterNs, 10'000'000u);
    const NetemChange& download = toRich[1];
    EXPECT_EQ(download.device, "vtifb-eth7");
    EXPECT_EQ(download.latencyNs, 50'000'000u);
    EXPECT_GT(download.limit, 50u);
    ASSERT_TRUE(download.gilbertElliott.has_value());
    // 5 % loss at 25 % correlation: into the lossy state at 3.75 %, out of
    // it at 71.25 %, everything lost there and nothing in the good state.
    EXPECT_EQ((*download.gilbertElliott)[0], std::uint32_t(std::rint(0.0375 * kCertain)));
    EXPECT_EQ((*download.gilbertElliott)[1], std::uint32_t(std::rint(0.7125 * kCertain)));
    EXPECT_EQ((*download.gilbertElliott)[2], std::uint32_t(kCertain));
    EXPECT_EQ((*download.gilbertElliott)[3], 0u);
    EXPECT_EQ(download.loss, 0u);
    EXPECT_EQ(download.duplicate, std::uint32_t(std::rint(0.01 * kCertain)));
    EXPECT_EQ(download.reorder, std::uint32_t(std::rint(0.10 * kCertain)));

    // Back: what tc keeps unless named is named at nothing.
    const std::vector<NetemChange> toPlain = changesFrom(rich, plain);
    ASSERT_EQ(toPlain.size(), 2u);
    EXPECT_EQ(toPlain[1].rateBytesPerSecond, 0u);
    EXPECT_EQ(toPlain[1].reorder, 0u);
    EXPECT_FALSE(toPlain[1].gilbertElliott.has_value());
    EXPECT_EQ(toPlain[1].jitterNs, 0u);

    // A schedule's outage, and plain random loss.
    ThrottleParameters lossy = plain;
    lossy.packetLossPercent = 100;
    const std::vector<NetemChange> toLossy = changesFrom(plain, lossy);
    ASSERT_EQ(toLossy.size(), 1u);
    EXPECT_EQ(toLossy[0].loss, std::uint32_t(kCertain));
}

TEST(NetemChangeTest, WhatItDoesNotKnowIsLeftToTc) {
    const std::vector<std::string> head = {"qdisc",  "change", "dev",   "eth7", "parent",
                                           "5655:1", "handle", "5656:", "netem"};
    const auto with = [&](std::vector<std::string> options) {
        std::vector<std::string> words = head;
        words.insert(words.end(), options.begin(), options.end());
        return NetemChange::parse(words);
    };
    EXPECT_TRUE(with({"limit", "50", "delay", "10ms"}).has_value());
    EXPECT_FALSE(with({"limit", "50", "delay", "10ms", "25%"}).has_value());
    EXPECT_FALSE(with({"limit", "50", "slot", "10ms"}).has_value());
    EXPECT_FALSE(with({"limit", "50", "loss", "random", "101%"}).has_value());
    EXPECT_FALSE(with({"limit", "50", "rate", "1mbit"}).has_value());
    EXPECT_FALSE(with({"delay", "10ms"}).has_value());
    std::vector<std::string> added = head;
    added[1] = "add";
    added.insert(added.end(), {"limit", "50"});
    EXPECT_FALSE(NetemChange::parse(added).has_value());
}

// SPDX-License-Identifier: MIT
#include "ShapingPlan.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(NetemArguments, LossIsGivenInTheHelpersStepsAndLeftOutWhenItRoundsAway) {
    const auto loss = [](double percent) {
        const std::vector<std::string> arguments = netemArguments({0, 0, percent});
        const auto at = std::find(arguments.begin(), arguments.end(), "loss");
        return at == arguments.end() ? std::string("none") : arguments.back();
    };
    EXPECT_EQ(loss(12.3456789), "12.3457%");
    EXPECT_EQ(loss(0.00005), "0.0001%");
    EXPECT_EQ(loss(100.0), "100.0%");
    // A denormal would otherwise be written out in some 320 digits.
    EXPECT_EQ(loss(1e-320), "none");
    EXPECT_EQ(loss(0.00004), "none");
}

TEST(NetemArguments, NoRateIsAddedWithoutVariationAndBurstChancesStayAboveNone) {
    DirectionShaping steady;
    steady.latencyMs = 50;
    steady.duplicatePercent = 0.00004;
    // Without jitter, no rate is added: nothing varies to overtake.
    EXPECT_THAT(netemArguments(steady),
                testing::ElementsAre("netem", "limit", "11081", "delay", "50ms"));
    // The runs' chances stay above none at the check's extremes; a loss of
    // everything has no runs to shape.
    steady.packetLossPercent = 0.0001;
    steady.lossCorrelationPercent = 99;
    const std::vector<std::string> bursty = netemArguments(steady);
    EXPECT_THAT(std::vector<std::string>(bursty.end() - 5, bursty.end()),
                testing::ElementsAre("gemodel", "0.000001%", "0.999999%", "100%", "0%"));
    steady.packetLossPercent = 100;
    EXPECT_EQ(netemArguments(steady).back(), "100.0%");
}

} // namespace

// SPDX-License-Identifier: MIT
#include "ScheduleFigures.h"

#include <gtest/gtest.h>

using namespace ScheduleFigures;

namespace {

// Probes every 10 ms from 0 to 6 s, lost from `lostFromMs` until `lostUntilMs`.
std::vector<Probe> probesLost(double lostFromMs, double lostUntilMs) {
    std::vector<Probe> probes;
    for (double at = 0; at < 6000; at += 10) {
        probes.push_back({at, at < lostFromMs || at >= lostUntilMs});
    }
    return probes;
}

} // namespace

TEST(ScheduleFiguresTest, BinsCountEachArrivalOnceInTheBinItsMomentFallsIn) {
    const std::vector<Arrival> arrivals{
        {499.9, 1000}, {500, 125}, {1499.9, 125}, {1500, 250}, {2600, 7}};
    const std::vector<double> rates = binnedRates(arrivals, 500, 1000, 2);
    ASSERT_EQ(rates.size(), 2u);
    EXPECT_DOUBLE_EQ(rates[0], 2000);
    EXPECT_DOUBLE_EQ(rates[1], 2000);
    // Half-second bins: the same bytes in half the time.
    EXPECT_DOUBLE_EQ(binnedRates(arrivals, 500, 500, 1)[0], 2000);
}

TEST(ScheduleFiguresTest, ATracesBinWeighsTheStepsItStraddlesByTheirShareAndLoops) {
    const std::vector<std::int64_t> trace{100, 300};
    // 50 ms of the first step, 100 of the second.
    EXPECT_DOUBLE_EQ(traceRates(trace, 100, 50, 150, 1)[0], 8 * (100 * 50 + 300 * 100) / 150.0);
    // Past the end the trace starts again: 200-400 ms is the first two steps.
    const std::vector<double> looped = traceRates(trace, 100, 200, 200, 2);
    EXPECT_DOUBLE_EQ(looped[0], 8 * 200);
    EXPECT_DOUBLE_EQ(looped[1], 8 * 200);
}

TEST(ScheduleFiguresTest, CorrelationIsOneForAScaledCopyMinusOneReversedAndZeroWhenFlat) {
    const std::vector<double> curve{1, 3, 2, 5, 4};
    EXPECT_NEAR(correlation(curve, {12, 16, 14, 20, 18}), 1.0, 1e-12);
    EXPECT_NEAR(correlation(curve, {-1, -3, -2, -5, -4}), -1.0, 1e-12);
    EXPECT_EQ(correlation(curve, {2, 2, 2, 2, 2}), 0.0);
    EXPECT_DOUBLE_EQ(mean(curve), 3.0);
}

TEST(ScheduleFiguresTest, AnOutageOnTimeHasItsEdgesWhereTheProbesChangeAndNothingAmiss) {
    const OutageFigures figures = outageFigures(probesLost(2010, 4000), 2000, 4000, 50);
    EXPECT_EQ(figures.throughInside, 0);
    EXPECT_EQ(figures.lostOutside, 0);
    EXPECT_DOUBLE_EQ(*figures.startErrorMs, 10);
    EXPECT_DOUBLE_EQ(*figures.endErrorMs, 0);
    EXPECT_TRUE(figures.withinTarget(50));
}

TEST(ScheduleFiguresTest, AnOutageLateOrLeakyOrNeverThereMissesItsTarget) {
    // 80 ms late at both edges: three probes through past the margin, three
    // lost past the other.
    const OutageFigures late = outageFigures(probesLost(2080, 4080), 2000, 4000, 50);
    EXPECT_EQ(late.throughInside, 3);
    EXPECT_EQ(late.lostOutside, 3);
    EXPECT_DOUBLE_EQ(*late.startErrorMs, 80);
    EXPECT_DOUBLE_EQ(*late.endErrorMs, 80);
    EXPECT_FALSE(late.withinTarget(50));

    // One probe through in the middle: the edges are the outer ones still.
    std::vector<Probe> leaky = probesLost(2000, 4000);
    leaky[300].arrived = true;
    const OutageFigures leaked = outageFigures(leaky, 2000, 4000, 50);
    EXPECT_EQ(leaked.throughInside, 1);
    EXPECT_DOUBLE_EQ(*leaked.startErrorMs, 0);
    EXPECT_DOUBLE_EQ(*leaked.endErrorMs, 0);
    EXPECT_FALSE(leaked.withinTarget(50));

    const OutageFigures none = outageFigures(probesLost(0, 0), 2000, 4000, 50);
    EXPECT_FALSE(none.startErrorMs);
    EXPECT_FALSE(none.withinTarget(50));
    // Lost to the end: no probe tells when it was over.
    EXPECT_FALSE(outageFigures(probesLost(2000, 7000), 2000, 4000, 50).endErrorMs);
}

TEST(ScheduleFiguresTest, StepsAreKnownByTheirRateInTheLoopNearestToWhenTheyCame) {
    const std::vector<std::int64_t> trace{1000, 2001, 3002};
    const std::vector<StepTiming> timings =
        stepTimings({{-3, 1000}, {101.5, 2001}, {203, 3002}, {299.5, 1000}, {350, 77}, {704, 2001}},
                    trace, 100);
    // The start's own rate is no step; 77 is none of the trace's rates.
    ASSERT_EQ(timings.size(), 4u);
    EXPECT_EQ(timings[0].step, 1);
    EXPECT_DOUBLE_EQ(timings[0].lateMs, 1.5);
    EXPECT_EQ(timings[1].step, 2);
    EXPECT_DOUBLE_EQ(timings[1].lateMs, 3);
    // The second loop's first step, early by half a millisecond.
    EXPECT_EQ(timings[2].step, 3);
    EXPECT_DOUBLE_EQ(timings[2].lateMs, -0.5);
    EXPECT_EQ(timings[3].step, 7);
    EXPECT_DOUBLE_EQ(timings[3].lateMs, 4);
}

// SPDX-License-Identifier: MIT
#include "CommandBuilder.h"
#include "DecimalFormat.h"
#include "ThrottleParameters.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using testing::ElementsAre;
using testing::Optional;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

std::optional<std::string> check(std::int64_t down, std::int64_t up, std::int64_t latency,
                                 double loss, std::int64_t dns) {
    return checkThrottleParameters({down, up, latency, loss, dns});
}

TEST(ParameterCheckTest, AcceptsEveryLimitAndRejectsOneBeyond) {
    EXPECT_EQ(check(1'250'000'000, 1'250'000'000, 10'000, 100.0, 30'000), std::nullopt);
    EXPECT_EQ(check(0, 0, 0, 0.0, 0), std::nullopt);
    EXPECT_THAT(check(1'250'000'001, 0, 0, 0, 0),
                Optional(std::string("Download bandwidth exceeds maximum allowed value")));
    EXPECT_THAT(check(0, 1'250'000'001, 0, 0, 0),
                Optional(std::string("Upload bandwidth exceeds maximum allowed value")));
    EXPECT_THAT(check(0, 0, 10'001, 0, 0),
                Optional(std::string("Latency exceeds maximum allowed value (10000ms)")));
    EXPECT_THAT(check(0, 0, 0, 0, 30'001),
                Optional(std::string("DNS delay exceeds maximum allowed value (30000ms)")));
}

TEST(ParameterCheckTest, RejectsNegativesWithTheirOwnMessages) {
    EXPECT_THAT(check(-1, 0, 0, 0, 0),
                Optional(std::string("Download bandwidth cannot be negative")));
    EXPECT_THAT(check(0, -1, 0, 0, 0),
                Optional(std::string("Upload bandwidth cannot be negative")));
    EXPECT_THAT(check(0, 0, -1, 0, 0), Optional(std::string("Latency cannot be negative")));
    EXPECT_THAT(check(0, 0, 0, 0, -1), Optional(std::string("DNS delay cannot be negative")));
    EXPECT_THAT(check(std::numeric_limits<std::int64_t>::min(), 0, 0, 0, 0),
                Optional(std::string("Download bandwidth cannot be negative")));
}

TEST(ParameterCheckTest, PacketLossOutsideZeroToHundredOrNotANumberFails) {
    const std::string message = "Packet loss must be between 0 and 100 percent";
    for (const double loss : {-0.0000001, 100.0000001, kNaN, kInfinity, -kInfinity}) {
        EXPECT_THAT(check(0, 0, 0, loss, 0), Optional(message)) << loss;
    }
    EXPECT_EQ(check(0, 0, 0, -0.0, 0), std::nullopt);
}

TEST(ParameterCheckTest, SeveralFaultsReportTheFirstInRuleOrder) {
    EXPECT_THAT(check(-1, 0, 20'000, 0, 0),
                Optional(std::string("Download bandwidth cannot be negative")));
    EXPECT_THAT(check(0, -5, -5, kNaN, -5),
                Optional(std::string("Upload bandwidth cannot be negative")));
    EXPECT_THAT(check(0, 0, 10'001, 150.0, 40'000),
                Optional(std::string("Latency exceeds maximum allowed value (10000ms)")));
    EXPECT_THAT(check(0, 0, 0, kNaN, -1),
                Optional(std::string("Packet loss must be between 0 and 100 percent")));
}

TEST(PipeArgumentsTest, AllZeroConfiguresAnUnlimitedPipe) {
    EXPECT_THAT(CommandBuilder::buildPipeConfigArguments(1, 0, 0, 0.0),
                ElementsAre("pipe", "1", "config"));
}

TEST(PipeArgumentsTest, OptionsComeInFixedOrderWithTheirUnits) {
    EXPECT_THAT(CommandBuilder::buildPipeConfigArguments(1, 125000, 50, 5.0),
                ElementsAre("pipe", "1", "config", "bw", "125000Byte/s", "delay", "50ms", "plr",
                            "0.050000"));
    EXPECT_THAT(CommandBuilder::buildPipeConfigArguments(2, 1'000'000, 0, 0.0),
                ElementsAre("pipe", "2", "config", "bw", "1000000Byte/s"));
    EXPECT_THAT(CommandBuilder::buildPipeConfigArguments(1, 0, 0, 10.0),
                ElementsAre("pipe", "1", "config", "plr", "0.100000"));
}

TEST(PipeArgumentsTest, LossIsAProbabilityWithSixDecimalsNeverAnExponent) {
    const auto plr = [](double loss) {
        return CommandBuilder::buildPipeConfigArguments(1, 0, 0, loss).back();
    };
    EXPECT_EQ(plr(100.0), "1.000000");
    EXPECT_EQ(plr(0.5), "0.005000");
    // Tiny but positive: the option is still given, rounded to zero.
    EXPECT_EQ(plr(0.0000001), "0.000000");
    EXPECT_THAT(CommandBuilder::buildPipeConfigArguments(1, 0, 0, -0.0),
                ElementsAre("pipe", "1", "config"));
}

TEST(DecimalFormatTest, ShortestRoundTripWithAFractionalDigit) {
    EXPECT_EQ(formatShortestDecimal(5.0), "5.0");
    EXPECT_EQ(formatShortestDecimal(0.0), "0.0");
    EXPECT_EQ(formatShortestDecimal(12.5), "12.5");
    EXPECT_EQ(formatShortestDecimal(0.1), "0.1");
    EXPECT_EQ(formatShortestDecimal(0.0000001), "0.0000001");
    EXPECT_EQ(formatShortestDecimal(100.0), "100.0");
    EXPECT_EQ(formatShortestDecimal(kNaN), "nan");
    EXPECT_EQ(formatShortestDecimal(-kInfinity), "-inf");
    EXPECT_EQ(formatShortestDecimal(1e300).size(), 303u);
}

} // namespace

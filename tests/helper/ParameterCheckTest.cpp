// SPDX-License-Identifier: MIT
#include "ThrottleParameters.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

TEST(ParameterCheckTest, AcceptsEveryLimitAndReportsTheFirstBrokenRuleInOrder) {
    EXPECT_EQ(checkThrottleParameters({1'250'000'000, 1'250'000'000, 10'000, 100.0, 30'000}),
              std::nullopt);
    EXPECT_EQ(checkThrottleParameters({0, 0, 0, -0.0, 0}), std::nullopt);
    const std::string loss = "Packet loss must be between 0 and 100 percent";
    const struct {
        ThrottleParameters parameters;
        std::string message;
    } cases[] = {
        {{-1, 0, 20'000, 0, 0}, "Download bandwidth cannot be negative"},
        {{std::numeric_limits<std::int64_t>::min(), 0, 0, 0, 0},
         "Download bandwidth cannot be negative"},
        {{1'250'000'001, 0, 0, 0, 0}, "Download bandwidth exceeds maximum allowed value"},
        {{0, -5, -5, kNaN, -5}, "Upload bandwidth cannot be negative"},
        {{0, 1'250'000'001, 0, 0, 0}, "Upload bandwidth exceeds maximum allowed value"},
        {{0, 0, -1, 0, 0}, "Latency cannot be negative"},
        {{0, 0, 10'001, 150.0, 40'000}, "Latency exceeds maximum allowed value (10000ms)"},
        {{0, 0, 0, kNaN, -1}, loss},
        {{0, 0, 0, 100.0000001, 0}, loss},
        {{0, 0, 0, -kInfinity, 0}, loss},
        {{0, 0, 0, kInfinity, 0}, loss},
        {{0, 0, 0, 0, -1}, "DNS delay cannot be negative"},
        {{0, 0, 0, 0, 30'001}, "DNS delay exceeds maximum allowed value (30000ms)"},
    };
    for (const auto& invalid : cases) {
        EXPECT_EQ(checkThrottleParameters(invalid.parameters), invalid.message) << invalid.message;
    }
}

} // namespace

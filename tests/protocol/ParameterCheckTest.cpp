// SPDX-License-Identifier: MIT
#include "ThrottleParameters.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

TEST(ParameterCheckTest, AcceptsEveryLimitAndReportsTheFirstBrokenRuleInOrder) {
    EXPECT_EQ((ThrottleParameters{1'250'000'000, 1'250'000'000, 10'000, 100.0, 30'000}.check()),
              std::nullopt);
    EXPECT_EQ((ThrottleParameters{0, 0, 0, -0.0, 0}.check()), std::nullopt);
    EXPECT_EQ((ThrottleParameters{0, 0, 2, 0.0001, 0, 2, 99.0, 100.0, 100.0}.check()),
              std::nullopt);
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
        // Then the conditions only the dictionary carries, each bound by
        // what it varies, thins or reorders.
        {{0, 0, 10, 0, 0, -1}, "Jitter cannot be negative"},
        {{0, 0, 10, 0, 0, 11}, "Jitter cannot exceed the latency (10ms)"},
        {{0, 0, 0, 1, 0, 0, kNaN}, "Loss correlation must be between 0 and 99 percent"},
        {{0, 0, 0, 1, 0, 0, 99.0001}, "Loss correlation must be between 0 and 99 percent"},
        {{0, 0, 0, 0, 0, 0, 25}, "Loss correlation needs a packet loss"},
        {{0, 0, 2, 0, 0, 0, 0, -1}, "Reordering must be between 0 and 100 percent"},
        {{0, 0, 1, 0, 0, 0, 0, 5}, "Reordering needs a latency of at least 2ms"},
        {{0, 0, 0, 0, 0, 0, 0, 0, 101}, "Duplication must be between 0 and 100 percent"},
    };
    for (const auto& invalid : cases) {
        EXPECT_EQ(invalid.parameters.check(), invalid.message) << invalid.message;
    }
}

} // namespace

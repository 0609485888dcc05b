// SPDX-License-Identifier: MIT
#include "ThrottleError.h"

#include "ApplyPreconditions.h"
#include "ControlFakes.h"
#include "WhatThrows.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

// The texts no other test meets on its way.
TEST(ThrottleErrorTest, ErrorsAreDescribedWithTheirFixedTexts) {
    const std::pair<ThrottleError, const char*> texts[] = {
        {ThrottleError::invalidProfile(
             "Profile must have at least one throttling parameter configured"),
         "Invalid profile: Profile must have at least one throttling parameter configured"},
        {ThrottleError::interfaceNotFound("en0"), "Network interface 'en0' not found."},
        {ThrottleError::unknown("out of memory"), "An unknown error occurred: out of memory"},
        {ThrottleError::authorizationDenied(),
         "Authorization was denied. Please grant the required permissions."},
    };
    for (const auto& [error, text] : texts) {
        EXPECT_EQ(error.description(), text);
        // Whoever catches a std::exception sees the same text.
        EXPECT_STREQ(error.what(), text);
    }
}

ThrottleProfile profile(std::optional<Bandwidth> down, std::optional<Bandwidth> up = {},
                        std::optional<std::int64_t> latency = {}, std::optional<double> loss = {},
                        std::optional<std::int64_t> dns = {}) {
    return {QUuid::createUuid(), "P", down, up, latency, loss, dns, false, true};
}

constexpr Bandwidth kbps(std::int64_t value) {
    return {value, BandwidthUnit::kbps};
}
constexpr Bandwidth mbps(std::int64_t value) {
    return {value, BandwidthUnit::mbps};
}

TEST(ApplyPreconditionsTest, AProfileTheHelperWouldRefuseIsRefusedBeforeAnythingIsSent) {
    FakeServiceRegistration registration;
    const auto refusal = [&](const ThrottleProfile& profile) {
        return whatThrows([&] { ApplyPreconditions::parametersToApply(profile, registration); });
    };
    EXPECT_EQ(refusal(profile({}, {}, {}, 0.0)),
              "Invalid profile: Profile must have at least one throttling parameter configured");
    constexpr auto largest = std::numeric_limits<std::int64_t>::max();
    // The bit count already overflows 64 bits, but the bytes still fit.
    EXPECT_EQ(ApplyPreconditions::parametersToApply(profile(kbps(largest / 125)), registration)
                  .downloadBytesPerSecond,
              largest / 125 * 125);
    EXPECT_EQ(refusal(profile(kbps(largest / 125 + 1))),
              "Invalid profile: Download bandwidth is too large");
    EXPECT_EQ(refusal(profile({}, mbps(largest))),
              "Invalid profile: Upload bandwidth is too large");
    registration.status = ServiceStatus::requiresApproval;
    EXPECT_EQ(refusal(profile(kbps(1))), ThrottleError::helperNotInstalled().what());
}

} // namespace

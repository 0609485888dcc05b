// SPDX-License-Identifier: MIT
#include "NetworkConditions.h"

#include "ProfileFormData.h"
#include "ProfileJson.h"

#include <gtest/gtest.h>

namespace {

// One condition set, the others absent: a value no default could be.
NetworkConditions only(const NetworkConditions::Field& field) {
    NetworkConditions conditions;
    if (field.bandwidth != nullptr) {
        conditions.*field.bandwidth = Bandwidth{3, BandwidthUnit::mbps};
    } else if (field.milliseconds != nullptr) {
        conditions.*field.milliseconds = 7;
    } else {
        conditions.*field.percent = 2.5;
    }
    return conditions;
}

} // namespace

// A condition added to the record and its table reaches every layer, or
// this fails: the helper's parameter, the state read back, the stored
// record and the editor's form each carry exactly that one condition.
TEST(NetworkConditionsTest, EachConditionTravelsAloneThroughEveryLayerAndComesBack) {
    ASSERT_EQ(NetworkConditions::fields().size(), kConditionCount);
    for (const NetworkConditions::Field& field : NetworkConditions::fields()) {
        SCOPED_TRACE(field.storedKey.data());
        EXPECT_EQ(&NetworkConditions::field(field.condition), &field);
        ASSERT_NE(ThrottleParameters::field(field.parameterKey), nullptr);
        const NetworkConditions conditions = only(field);
        EXPECT_TRUE(conditions.configuresSomething());
        EXPECT_EQ(conditions.hasAdvancedConditions(), field.advanced);

        QString failure;
        const std::optional<ThrottleParameters> parameters = conditions.toParameters(failure);
        ASSERT_TRUE(parameters);
        for (const ThrottleParameters::Field& parameter : ThrottleParameters::fields()) {
            EXPECT_EQ(parameter.isSet(*parameters), &parameter == &field.parameter())
                << parameter.key;
        }
        EXPECT_EQ(NetworkConditions::fromParameters(*parameters), conditions);

        const ThrottleProfile profile(QUuid::createUuid(), "One", conditions, false, true);
        const QJsonObject stored = ProfileJson::encode(profile);
        EXPECT_TRUE(stored.contains(field.storedKey));
        EXPECT_EQ(ProfileJson::decode(stored)->conditions, conditions);
        const ProfileFormData form = ProfileFormData::from(profile);
        EXPECT_TRUE(form[field.condition].isOn);
        EXPECT_EQ(form.to(profile.id(), false).conditions, conditions);
    }
}

TEST(NetworkConditionsTest, WhatCountsAsAskingForSomethingAndWhatTheHelperSaysBack) {
    NetworkConditions conditions;
    EXPECT_FALSE(conditions.configuresSomething());
    // A present zero latency or DNS delay is configured; zero percentages and
    // a zero of the Advanced section are how a profile says "none".
    conditions.packetLossPercent = 0.0;
    conditions.jitter = 0;
    conditions.duplicatePercent = 0.0;
    EXPECT_FALSE(conditions.configuresSomething());
    conditions.dnsDelay = 0;
    EXPECT_TRUE(conditions.configuresSomething());
    EXPECT_FALSE(conditions.blocksAllTraffic());
    conditions.packetLossPercent = 100.0;
    EXPECT_TRUE(conditions.blocksAllTraffic());

    // Whole megabits where they are whole, kilobits otherwise; zero is none.
    ThrottleParameters running;
    running.downloadBytesPerSecond = 97'500;
    running.uploadBytesPerSecond = 1'250'000;
    const NetworkConditions shown = NetworkConditions::fromParameters(running);
    EXPECT_EQ(shown.downloadBandwidth, (Bandwidth{780, BandwidthUnit::kbps}));
    EXPECT_EQ(shown.uploadBandwidth, (Bandwidth{10, BandwidthUnit::mbps}));
    EXPECT_FALSE(shown.latency || shown.packetLossPercent || shown.dnsDelay);
}

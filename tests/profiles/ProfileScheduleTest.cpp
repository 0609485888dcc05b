// SPDX-License-Identifier: MIT
#include "ProfileSchedule.h"

#include "ProfileCopy.h"
#include "ProfileExchange.h"
#include "ProfileFormData.h"
#include "ProfileJson.h"
#include "ProfileRecords.h"
#include "ProfileTestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;

namespace {

std::vector<std::pair<QString, std::int64_t>> phasesOf(const ThrottleProfile& profile) {
    std::vector<std::pair<QString, std::int64_t>> phases;
    for (const ProfilePhase& phase : profile.schedule.phases) {
        phases.emplace_back(phase.name, phase.durationMs);
    }
    return phases;
}

ThrottleProfile traced() {
    ThrottleProfile profile = custom("Recorded");
    profile.schedule.trace.stepMs = 100;
    // Whole packets of 1500 bytes per 100 ms: 0, 1, 40 and 83333.
    profile.schedule.trace.downloadBytesPerSecond = {0, 15'000, 600'000, 1'249'995'000};
    return profile;
}

std::optional<ThrottleProfile> decoded(const QByteArray& json) {
    return ProfileJson::decode(QJsonDocument::fromJson(json).object());
}

} // namespace

TEST(ProfileScheduleTest, theScheduledBuiltInsPlayTheSteadyOnesConditions) {
    const ThrottleProfile train = preset("Commuter Train");
    EXPECT_EQ(train.id(), QUuid("00000000-0000-0000-0000-00000000000b"));
    EXPECT_THAT(phasesOf(train),
                ElementsAre(std::pair{QString("LTE"), 40'000}, std::pair{QString("Outage"), 6000},
                            std::pair{QString("3G"), 14'000}));
    EXPECT_TRUE(train.schedule.repeat);
    EXPECT_EQ(train.schedule.phases[0].conditions, preset("LTE").conditions);
    EXPECT_TRUE(train.schedule.phases[1].isOutage());
    EXPECT_EQ(train.schedule.phases[2].conditions, preset("3G").conditions);
    EXPECT_EQ(train.shortDescription(), "3 phases, repeating");

    const ThrottleProfile flaky = preset("Flaky Wi-Fi");
    EXPECT_EQ(flaky.id(), QUuid("00000000-0000-0000-0000-00000000000c"));
    EXPECT_THAT(phasesOf(flaky),
                ElementsAre(std::pair{QString("WiFi"), 4700}, std::pair{QString("Outage"), 300}));
    EXPECT_TRUE(flaky.schedule.repeat);

    const ThrottleProfile elevator = preset("Elevator");
    EXPECT_EQ(elevator.id(), QUuid("00000000-0000-0000-0000-00000000000d"));
    EXPECT_THAT(phasesOf(elevator),
                ElementsAre(std::pair{QString("LTE"), 10'000}, std::pair{QString("Edge"), 5000},
                            std::pair{QString("Outage"), 20'000},
                            std::pair{QString("Edge"), 10'000}));
    EXPECT_EQ(elevator.shortDescription(), "4 phases, once");

    // What the helper is sent: each phase in its units, an outage as one.
    QString failure;
    const std::optional<ThrottleSchedule> wire = train.schedule.toSchedule(failure);
    ASSERT_TRUE(wire) << failure.toStdString();
    ASSERT_EQ(wire->phases.size(), 3u);
    EXPECT_EQ(wire->phases[0].name, "LTE");
    EXPECT_EQ(wire->phases[0].parameters.downloadBytesPerSecond, 6'250'000);
    EXPECT_EQ(wire->phases[0].parameters.latencyMs, 50);
    EXPECT_TRUE(wire->phases[1].outage);
    EXPECT_EQ(wire->phases[2].durationMs, 14'000);
    EXPECT_TRUE(wire->repeat);

    ThrottleProfile tooFast = train;
    tooFast.schedule.phases[2].conditions->downloadBandwidth =
        Bandwidth{1LL << 62, BandwidthUnit::mbps};
    EXPECT_FALSE(tooFast.schedule.toSchedule(failure));
    EXPECT_EQ(failure, "Phase 3 (3G): Download bandwidth is too large");
}

TEST(ProfileScheduleTest, aScheduleIsStoredAndCopiedWholeAndASteadyRecordAsBefore) {
    for (const ThrottleProfile& profile : ThrottleProfile::Preset::profiles()) {
        EXPECT_EQ(ProfileJson::decode(ProfileJson::encode(profile)), profile)
            << profile.name.toStdString();
    }
    const ThrottleProfile recorded = traced();
    const QByteArray file = ProfileRecords::encode({recorded, preset("Elevator")});
    QString error;
    const std::optional<QList<ThrottleProfile>> read = ProfileRecords::decode(file, &error);
    ASSERT_TRUE(read) << error.toStdString();
    EXPECT_EQ(read->first(), recorded);
    EXPECT_EQ(read->last(), preset("Elevator"));
    // Steps as whole packets in one line of text, not a line each.
    EXPECT_TRUE(file.contains(R"("download": "0 1 40 83333")")) << file.toStdString();
    EXPECT_FALSE(file.contains("\"upload\""));
    EXPECT_FALSE(file.contains("\"repeat\": true,\n        \"trace\""));

    const QJsonObject elevator = ProfileJson::encode(preset("Elevator"));
    EXPECT_EQ(elevator.value("repeat"), false);
    EXPECT_EQ(elevator.value("phases").toArray().at(2).toObject(),
              (QJsonObject{{"name", "Outage"}, {"durationMs", 20000}, {"outage", true}}));
    EXPECT_EQ(elevator.value("phases").toArray().at(1).toObject().value("latency"), 400);
    // Without a schedule none of its keys is written.
    EXPECT_EQ(ProfileJson::encode(preset("LTE")).keys(),
              (QStringList{"downloadBandwidth", "id", "isBuiltIn", "latency", "name",
                           "packetLossPercent", "showInMenu", "uploadBandwidth"}));

    // The trace's rates stand for the profile's where it has them.
    EXPECT_EQ(recorded.shortDescription(), "Trace 400 ms, 20ms, 5% loss");
    ThrottleProfile longer = recorded;
    longer.schedule.trace.uploadBytesPerSecond.assign(7250, 15'000);
    EXPECT_EQ(longer.shortDescription(), "Trace 12 min, 20ms, 5% loss");

    // A duplicate, a form and another machine keep it.
    EXPECT_EQ(ProfileCopy::editable(recorded, QUuid::createUuid(), "Copy").schedule,
              recorded.schedule);
    EXPECT_EQ(ProfileFormData::from(recorded).to(recorded.id(), false), recorded);
    const ProfileExchange::Decoded arrived =
        ProfileExchange::decode(ProfileExchange::encode({recorded, preset("Commuter Train")}));
    ASSERT_TRUE(arrived.error.isEmpty()) << arrived.error.toStdString();
    EXPECT_EQ(arrived.profiles[0].schedule, recorded.schedule);
    EXPECT_THAT(phasesOf(arrived.profiles[1]), phasesOf(preset("Commuter Train")));
}

TEST(ProfileScheduleTest, aNewerBuildsRecordReadsAndIsWrittenBackByteForByte) {
    // Keys of a newer build at every level: the record, a phase, the trace.
    const QByteArray newer =
        R"({"id":"0000000A-0000-0000-0000-000000000001","isBuiltIn":false,"name":"n",)"
        R"("phases":[{"durationMs":1000,"latency":5,"name":"A","spikeMs":30},)"
        R"({"durationMs":500,"name":"B","outage":true}],"repeat":false,"showInMenu":true,)"
        R"("trace":{"download":"1 2","loss":"0 5","stepMs":100},"unheardOf":[1]})";
    const std::optional<ThrottleProfile> profile = decoded(newer);
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile->schedule.phases[0].otherKeys, (QJsonObject{{"spikeMs", 30}}));
    EXPECT_EQ(QJsonDocument(ProfileJson::encode(*profile)).toJson(QJsonDocument::Compact), newer);
}

TEST(ProfileScheduleTest, decodingTheScheduleIsStrict) {
    const QByteArray head =
        R"({"id":"00000000-0000-0000-0000-000000000001","name":"n","isBuiltIn":false,"showInMenu":true,)";
    const char* rejected[] = {
        R"("phases":{})",
        R"("phases":[5])",
        R"("phases":[{"name":"A"}])",
        R"("phases":[{"name":"A","durationMs":1.5}])",
        R"("phases":[{"name":1,"durationMs":100}])",
        R"("phases":[{"name":"A","durationMs":100,"outage":"yes"}])",
        R"("phases":[{"name":"A","durationMs":100,"latency":"5"}])",
        // An outage lets nothing through: conditions beside it contradict it.
        R"("phases":[{"name":"A","durationMs":100,"outage":true,"latency":5}])",
        R"("phases":[],"repeat":1)",
        R"("trace":[1,2])",
        R"("trace":{"download":"1 2"})",
        R"("trace":{"stepMs":0,"download":"1 2"})",
        R"("trace":{"stepMs":100,"download":[1,2]})",
        R"("trace":{"stepMs":100,"download":"1 x"})",
        R"("trace":{"stepMs":100,"upload":"1.5"})",
        R"("trace":{"stepMs":100,"upload":"99999999999999999999"})",
    };
    for (const char* json : rejected) {
        EXPECT_FALSE(decoded(head + json + "}")) << json;
    }
    EXPECT_TRUE(decoded(head + R"("phases":[{"name":"A","durationMs":100,"outage":false}])" + "}")
                    ->schedule.phases[0]
                    .conditions);
}

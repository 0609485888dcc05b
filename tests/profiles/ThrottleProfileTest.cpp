// SPDX-License-Identifier: MIT
#include "ThrottleProfile.h"

#include "ProfileJson.h"
#include "ProfileTestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace {

ThrottleProfile bare(std::optional<double> loss = std::nullopt) {
    return ThrottleProfile(QUuid::createUuid(), QStringLiteral("Bare"), std::nullopt, std::nullopt,
                           std::nullopt, loss, std::nullopt, false, true);
}

std::optional<ThrottleProfile> decode(const char* json) {
    return ProfileJson::decode(QJsonDocument::fromJson(json).object());
}

} // namespace

// Stored settings name the built-in profiles by id, so ids must never move.
TEST(ThrottleProfileTest, theBuiltInProfilesKeepTheirIdsNamesAndLimitsInNameOrder) {
    const std::tuple<int, const char*, const char*> table[] = {
        {1, "100% Loss", "100% loss"},
        {2, "3G", "D: 780 Kbps, U: 330 Kbps, 100ms"},
        {3, "3G (Lossy)", "D: 780 Kbps, U: 330 Kbps, 100ms, 1% loss"},
        {11, "Commuter Train", "3 phases, repeating"},
        {4, "DSL", "D: 2 Mbps, U: 256 Kbps, 5ms"},
        {5, "Edge", "D: 240 Kbps, U: 200 Kbps, 400ms"},
        {13, "Elevator", "4 phases, once"},
        {12, "Flaky Wi-Fi", "2 phases, repeating"},
        {6, "High Latency DNS", "DNS: 3000ms"},
        {7, "LTE", "D: 50 Mbps, U: 10 Mbps, 50ms"},
        {8, "Very Bad Network", "D: 1 Mbps, U: 1 Mbps, 500ms, 10% loss"},
        {9, "WiFi", "D: 40 Mbps, U: 33 Mbps, 1ms"},
        {10, "WiFi (Lossy)", "D: 40 Mbps, U: 33 Mbps, 1ms, 1% loss"},
    };
    const QList<ThrottleProfile>& presets = ThrottleProfile::Preset::profiles();
    ASSERT_EQ(presets.size(), std::size(table));
    for (std::size_t i = 0; i < std::size(table); ++i) {
        const auto& [number, name, description] = table[i];
        const ThrottleProfile& profile = presets[static_cast<qsizetype>(i)];
        EXPECT_EQ(profile.id(), QUuid(QStringLiteral("00000000-0000-0000-0000-%1")
                                          .arg(number, 12, 16, QLatin1Char('0'))));
        EXPECT_EQ(profile.name, name);
        EXPECT_EQ(profile.shortDescription(), description);
        EXPECT_TRUE(profile.isBuiltIn() && profile.showInMenu) << name;
    }
}

TEST(ThrottleProfileTest, lossIsClampedWhenMadeAndShownExactlyInDetailButTruncatedInTheSummary) {
    const struct {
        std::optional<double> loss;
        const char* detail;
        const char* summary;
    } cases[] = {{std::nullopt, "None", "No limits"},
                 {-5, "None", "No limits"},
                 {0.5, "0.5%", "0% loss"},
                 {2.7, "2.7%", "2% loss"},
                 {150, "100%", "100% loss"}};
    for (const auto& each : cases) {
        EXPECT_EQ(bare(each.loss).formattedPacketLoss(), each.detail) << each.detail;
        EXPECT_EQ(bare(each.loss).shortDescription(), each.summary) << each.detail;
    }
    // A decoded record keeps what it says, however large; a zero latency is one.
    auto decoded = decode(R"({"id":"00000000-0000-0000-0000-0000000000FF","name":"x",
        "isBuiltIn":false,"showInMenu":true,"latency":0,"packetLossPercent":150})");
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->shortDescription(), "0ms, 150% loss");
    decoded->conditions.packetLossPercent = 1e300;
    EXPECT_TRUE(decoded->formattedPacketLoss().endsWith("0%"));

    // The richer conditions briefly, with their fractions; a zero is none.
    ThrottleProfile rich = bare(2);
    rich.conditions.latency = 100;
    rich.conditions.jitter = 20;
    rich.conditions.packetLossCorrelationPercent = 25;
    rich.conditions.reorderPercent = 0.5;
    rich.conditions.duplicatePercent = 1;
    EXPECT_EQ(rich.shortDescription(), "100ms, ±20ms jitter, 2% loss, 25% loss correlation, "
                                       "0.5% reordered, 1% duplicated");
    rich.conditions.jitter = 0;
    rich.conditions.reorderPercent = 0;
    EXPECT_EQ(rich.shortDescription(), "100ms, 2% loss, 25% loss correlation, 1% duplicated");
}

TEST(ThrottleProfileJsonTest, roundTripKeepsEveryFieldAndOmitsAbsentOnes) {
    for (const ThrottleProfile& profile : ThrottleProfile::Preset::profiles()) {
        EXPECT_EQ(ProfileJson::decode(ProfileJson::encode(profile)), profile);
    }
    ThrottleProfile extreme = preset("LTE");
    extreme.conditions.uploadBandwidth->unit = BandwidthUnit::kbps;
    extreme.conditions.latency = std::numeric_limits<std::int64_t>::max();
    extreme.conditions.dnsDelay = std::numeric_limits<std::int64_t>::min();
    extreme.conditions.downloadBandwidth = Bandwidth{10'000'000'000'000, BandwidthUnit::mbps};
    extreme.conditions.jitter = 7;
    extreme.conditions.packetLossCorrelationPercent = 0.0001;
    extreme.conditions.reorderPercent = 100;
    extreme.conditions.duplicatePercent = 12.5;
    const QByteArray text = QJsonDocument(ProfileJson::encode(extreme)).toJson();
    EXPECT_EQ(ProfileJson::decode(QJsonDocument::fromJson(text).object()), extreme);

    const auto nulls = decode(R"({"id":"0000000a-0000-0000-0000-000000000001","name":"n",
        "isBuiltIn":false,"showInMenu":false,"latency":null,"extra":1})");
    ASSERT_TRUE(nulls);
    EXPECT_FALSE(nulls->conditions.latency.has_value());
    const QJsonObject json = ProfileJson::encode(bare());
    EXPECT_EQ(json.keys(), (QStringList{"id", "isBuiltIn", "name", "showInMenu"}));
    EXPECT_EQ(ProfileJson::encode(extreme).value("jitter"), 7);
    EXPECT_EQ(json.value("id").toString(), json.value("id").toString().toUpper());
}

TEST(ThrottleProfileJsonTest, decodingIsStrict) {
    const char* rejected[] = {
        R"({"id":"00000000-0000-0000-0000-000000000001","name":"n","isBuiltIn":false})",
        R"({"name":"n","isBuiltIn":false,"showInMenu":true})",
        R"({"id":"{00000000-0000-0000-0000-000000000001}","name":"n","isBuiltIn":false,"showInMenu":true})",
        R"({"id":"00000000-0000-0000-0000-00000000000G","name":"n","isBuiltIn":false,"showInMenu":true})",
        R"({"id":"00000000-0000-0000-0000-000000000001","name":"n","isBuiltIn":false,"showInMenu":true,"latency":1.5})",
        R"({"id":"00000000-0000-0000-0000-000000000001","name":"n","isBuiltIn":false,"showInMenu":true,"dnsDelay":1e30})",
        R"({"id":"00000000-0000-0000-0000-000000000001","name":"n","isBuiltIn":false,"showInMenu":true,"downloadBandwidth":{"value":1,"unit":"gbps"}})",
        R"({"id":"00000000-0000-0000-0000-000000000001","name":"n","isBuiltIn":false,"showInMenu":true,"downloadBandwidth":{"value":1,"unit":"Kbps"}})",
        R"({"id":"00000000-0000-0000-0000-000000000001","name":"n","isBuiltIn":false,"showInMenu":true,"uploadBandwidth":{"value":2.5,"unit":"kbps"}})",
        R"({"id":"00000000-0000-0000-0000-000000000001","name":"n","isBuiltIn":false,"showInMenu":true,"jitter":2.5})",
        R"({"id":"00000000-0000-0000-0000-000000000001","name":"n","isBuiltIn":false,"showInMenu":true,"duplicatePercent":"1"})",
    };
    for (const char* json : rejected) {
        EXPECT_FALSE(decode(json).has_value()) << json;
    }
}

TEST(ThrottleProfileTest, theSummaryEndsWithTheDestinationsShortenedWhenMany) {
    ThrottleProfile profile = preset("3G");
    std::string ignored;
    for (const char* text : {"api.example.com", ":443"}) {
        profile.destinations.push_back(*Destination::parse(text, ignored));
    }
    EXPECT_EQ(profile.shortDescription(),
              "D: 780 Kbps, U: 330 Kbps, 100ms, only to api.example.com, :443");
    profile.destinations.push_back(*Destination::parse("10.0.0.0/8", ignored));
    EXPECT_THAT(profile.shortDescription().toStdString(),
                testing::EndsWith("only to api.example.com, :443, 10.0.0.0/8"));
    profile.destinations.push_back(*Destination::parse("[2001:db8::1]:8443", ignored));
    EXPECT_THAT(profile.shortDescription().toStdString(),
                testing::EndsWith("only to api.example.com, :443 and 2 more"));
}

TEST(ThrottleProfileJsonTest, destinationsAreStoredCanonicallyAndOnlyWhenThereAreSome) {
    const QByteArray stored = R"({"id":"0000000a-0000-0000-0000-000000000001","name":"n",
        "isBuiltIn":false,"showInMenu":true,"latency":100,
        "destinations":["API.example.com","10.1.2.3/8",":5432","[2001:db8::1]:8443"],
        "aFutureKey":{"keep":["me"]}})";
    const std::optional<ThrottleProfile> profile = decode(stored.constData());
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile->destinations.size(), 4u);
    const QJsonObject written = ProfileJson::encode(*profile);
    EXPECT_EQ(written.value("destinations").toArray(),
              (QJsonArray{"api.example.com", "10.0.0.0/8", ":5432", "[2001:db8::1]:8443"}));
    EXPECT_EQ(written.value("aFutureKey"),
              QJsonDocument::fromJson(stored).object().value("aFutureKey"));
    EXPECT_EQ(ProfileJson::decode(written), profile);

    // A profile for all traffic is written exactly as before destinations existed.
    const QByteArray plain =
        R"({"aFutureKey":1,"id":"0000000A-0000-0000-0000-000000000001","isBuiltIn":false,"latency":100,"name":"n","showInMenu":true})";
    const QJsonObject object = QJsonDocument::fromJson(plain).object();
    EXPECT_EQ(QJsonDocument(ProfileJson::encode(*ProfileJson::decode(object)))
                  .toJson(QJsonDocument::Compact),
              plain);

    const char* rejected[] = {
        R"({"id":"00000000-0000-0000-0000-000000000001","name":"n","isBuiltIn":false,"showInMenu":true,"destinations":"api.example.com"})",
        R"({"id":"00000000-0000-0000-0000-000000000001","name":"n","isBuiltIn":false,"showInMenu":true,"destinations":[443]})",
        R"({"id":"00000000-0000-0000-0000-000000000001","name":"n","isBuiltIn":false,"showInMenu":true,"destinations":["host:99999"]})",
        R"({"id":"00000000-0000-0000-0000-000000000001","name":"n","isBuiltIn":false,"showInMenu":true,"application":"../slack"})",
        R"({"id":"00000000-0000-0000-0000-000000000001","name":"n","isBuiltIn":false,"showInMenu":true,"application":7})",
    };
    // The application a profile is for, kept as it is stored.
    const QByteArray slack =
        R"({"application":"com.slack.Slack","id":"0000000A-0000-0000-0000-000000000001","isBuiltIn":false,"latency":100,"name":"n","showInMenu":true})";
    const std::optional<ThrottleProfile> forSlack = decode(slack.constData());
    ASSERT_TRUE(forSlack);
    EXPECT_EQ(forSlack->application, "com.slack.Slack");
    EXPECT_EQ(forSlack->shortDescription(), "100ms, only for com.slack.Slack");
    EXPECT_EQ(QJsonDocument(ProfileJson::encode(*forSlack)).toJson(QJsonDocument::Compact), slack);
    for (const char* json : rejected) {
        EXPECT_FALSE(decode(json).has_value()) << json;
    }
}

// SPDX-License-Identifier: MIT
#include "ThrottleProfile.h"

#include "ProfileTestSupport.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

namespace {

ThrottleProfile bare(std::optional<double> loss = std::nullopt) {
    return ThrottleProfile(QUuid::createUuid(), QStringLiteral("Bare"), std::nullopt, std::nullopt,
                           std::nullopt, loss, std::nullopt, false, true);
}

std::optional<ThrottleProfile> decode(const char* json) {
    return ThrottleProfile::fromJson(QJsonDocument::fromJson(json).object());
}

} // namespace

TEST(ThrottleProfileTest, theBuiltInTableHoldsTheTenProfilesInNameOrder) {
    constexpr auto kbps = BandwidthUnit::kbps;
    constexpr auto mbps = BandwidthUnit::mbps;
    using Limit = std::optional<Bandwidth>;
    using Milliseconds = std::optional<std::int64_t>;
    const struct {
        const char* id;
        const char* name;
        Limit down, up;
        Milliseconds latency;
        double loss;
        Milliseconds dns;
    } table[] = {
        {"1", "100% Loss", {}, {}, {}, 100, {}},
        {"2", "3G", Bandwidth{780, kbps}, Bandwidth{330, kbps}, 100, 0, {}},
        {"3", "3G (Lossy)", Bandwidth{780, kbps}, Bandwidth{330, kbps}, 100, 1, {}},
        {"4", "DSL", Bandwidth{2, mbps}, Bandwidth{256, kbps}, 5, 0, {}},
        {"5", "Edge", Bandwidth{240, kbps}, Bandwidth{200, kbps}, 400, 0, {}},
        {"6", "High Latency DNS", {}, {}, {}, 0, 3000},
        {"7", "LTE", Bandwidth{50, mbps}, Bandwidth{10, mbps}, 50, 0, {}},
        {"8", "Very Bad Network", Bandwidth{1, mbps}, Bandwidth{1, mbps}, 500, 10, {}},
        {"9", "WiFi", Bandwidth{40, mbps}, Bandwidth{33, mbps}, 1, 0, {}},
        {"A", "WiFi (Lossy)", Bandwidth{40, mbps}, Bandwidth{33, mbps}, 1, 1, {}},
    };
    const QList<ThrottleProfile>& presets = ThrottleProfile::Preset::profiles();
    ASSERT_EQ(presets.size(), 10);
    for (qsizetype i = 0; i < presets.size(); ++i) {
        const auto& row = table[i];
        const QUuid id(QStringLiteral("00000000-0000-0000-0000-00000000000") + row.id);
        EXPECT_EQ(presets[i], ThrottleProfile(id, row.name, row.down, row.up, row.latency, row.loss,
                                              row.dns, true, true))
            << row.name;
    }
    EXPECT_EQ(preset("3G").shortDescription(), "D: 780 Kbps, U: 330 Kbps, 100ms");
}

TEST(ThrottleProfileTest, packetLossIsClampedWhenMadeButKeptWhenDecoded) {
    EXPECT_EQ(bare(150).packetLossPercent, 100.0);
    EXPECT_EQ(bare(-5).packetLossPercent, 0.0);
    auto decoded = decode(R"({"id":"00000000-0000-0000-0000-0000000000FF","name":"x",
        "isBuiltIn":false,"showInMenu":true,"packetLossPercent":150})");
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->shortDescription(), "150% loss");
    decoded->packetLossPercent = 1e300;
    EXPECT_TRUE(decoded->formattedPacketLoss().endsWith("0%"));
}

TEST(ThrottleProfileTest, lossShowsExactlyInDetailButTruncatedInTheSummary) {
    const struct {
        std::optional<double> loss;
        const char* detail;
        const char* summary;
    } cases[] = {{std::nullopt, "None", "No limits"},
                 {0, "None", "No limits"},
                 {0.5, "0.5%", "0% loss"},
                 {1, "1%", "1% loss"},
                 {2.7, "2.7%", "2% loss"},
                 {100, "100%", "100% loss"}};
    for (const auto& each : cases) {
        EXPECT_EQ(bare(each.loss).formattedPacketLoss(), each.detail) << each.detail;
        EXPECT_EQ(bare(each.loss).shortDescription(), each.summary) << each.detail;
    }
    ThrottleProfile zeroLatency = bare(2.7);
    zeroLatency.latency = 0;
    EXPECT_EQ(zeroLatency.shortDescription(), "0ms, 2% loss");
    EXPECT_EQ(preset("High Latency DNS").shortDescription(), "DNS: 3000ms");
}

TEST(ThrottleProfileJsonTest, roundTripKeepsEveryFieldAndOmitsAbsentOnes) {
    for (const ThrottleProfile& profile : ThrottleProfile::Preset::profiles()) {
        EXPECT_EQ(ThrottleProfile::fromJson(profile.toJson()), profile);
    }
    ThrottleProfile extreme = preset("LTE");
    extreme.uploadBandwidth->unit = BandwidthUnit::kbps;
    extreme.latency = std::numeric_limits<std::int64_t>::max();
    extreme.dnsDelay = std::numeric_limits<std::int64_t>::min();
    extreme.downloadBandwidth = Bandwidth{10'000'000'000'000, BandwidthUnit::mbps};
    const QByteArray text = QJsonDocument(extreme.toJson()).toJson();
    EXPECT_EQ(ThrottleProfile::fromJson(QJsonDocument::fromJson(text).object()), extreme);

    const auto nulls = decode(R"({"id":"0000000a-0000-0000-0000-000000000001","name":"n",
        "isBuiltIn":false,"showInMenu":false,"latency":null,"extra":1})");
    ASSERT_TRUE(nulls);
    EXPECT_FALSE(nulls->latency.has_value());
    const QJsonObject json = bare().toJson();
    EXPECT_EQ(json.keys(), (QStringList{"id", "isBuiltIn", "name", "showInMenu"}));
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
    };
    for (const char* json : rejected) {
        EXPECT_FALSE(decode(json).has_value()) << json;
    }
}

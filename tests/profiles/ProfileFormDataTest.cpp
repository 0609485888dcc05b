// SPDX-License-Identifier: MIT
#include "ProfileFormData.h"

#include "ProfileTestSupport.h"

#include <gtest/gtest.h>

TEST(ProfileFormDataTest, formShowsAProfileAsTextAndConvertsBackShownInTheMenu) {
    EXPECT_EQ(ProfileFormData::from(preset("Very Bad Network"))[Condition::packetLoss].text,
              "10.0");
    // A present zero loss opens switched off, absent bandwidths in Mbps.
    const ProfileFormData dns = ProfileFormData::from(preset("High Latency DNS"));
    EXPECT_FALSE(dns[Condition::packetLoss].isOn);
    EXPECT_TRUE(dns[Condition::packetLoss].text.isEmpty());
    EXPECT_EQ(dns[Condition::upload].unit, BandwidthUnit::mbps);
    EXPECT_EQ(dns[Condition::dnsDelay].text, "3000");

    ThrottleProfile hidden = preset("3G (Lossy)");
    hidden.showInMenu = false;
    EXPECT_EQ(ProfileFormData::from(hidden).to(hidden.id(), true), preset("3G (Lossy)"));
}

TEST(ProfileFormDataTest, packetLossTextIsShortestAndReadsBackInTheHelpersSteps) {
    ThrottleProfile profile = preset("3G");
    for (const double loss : {2.5, 0.1, 99.99, 0.0001}) {
        profile.conditions.packetLossPercent = loss;
        const QString text = ProfileFormData::from(profile)[Condition::packetLoss].text;
        EXPECT_TRUE(text.contains(u'.')) << text.toStdString();
        EXPECT_EQ(
            ProfileFormData::from(profile).to(profile.id(), false).conditions.packetLossPercent,
            loss);
    }
    // Finer figures are saved as the helper shapes them.
    for (const auto& [typed, stored] :
         {std::pair{"12.3456789", 12.3457}, {"0.00005", 0.0001}, {"0.33333333333333333", 0.3333}}) {
        ProfileFormData form;
        form[Condition::packetLoss] = {QString::fromLatin1(typed), true};
        EXPECT_EQ(form.to(profile.id(), false).conditions.packetLossPercent, stored) << typed;
    }
    profile.conditions.packetLossPercent = 2.5;
    EXPECT_EQ(ProfileFormData::from(profile)[Condition::packetLoss].text, "2.5");
}

TEST(ProfileFormDataTest, profileFromFormTrimsAndLeavesSwitchedOffFieldsOut) {
    ProfileFormData form;
    form.name = QStringLiteral("  Fast  ");
    form[Condition::download] = {QStringLiteral(" 12 "), true, BandwidthUnit::kbps};
    form[Condition::upload] = {QStringLiteral("99"), false};
    form[Condition::latency] = {QString(), true};
    form[Condition::packetLoss] = {QStringLiteral("150"), true};
    form[Condition::dnsDelay] = {QStringLiteral("10000000000000"), true};
    const ThrottleProfile profile = form.to(QUuid::createUuid(), false);
    EXPECT_EQ(profile.name, "Fast");
    EXPECT_EQ(profile.conditions.downloadBandwidth, (Bandwidth{12, BandwidthUnit::kbps}));
    EXPECT_FALSE(profile.conditions.uploadBandwidth.has_value());
    EXPECT_FALSE(profile.conditions.latency.has_value());
    EXPECT_EQ(profile.conditions.packetLossPercent, 100.0);
    EXPECT_EQ(profile.conditions.dnsDelay, 10'000'000'000'000);
    EXPECT_TRUE(profile.showInMenu && !profile.isBuiltIn());
}

TEST(ProfileFormDataTest, onlyTheChosenScopeIsSavedAndTheOthersAreKeptAsTyped) {
    ThrottleProfile chat = preset("3G");
    chat.application = QStringLiteral("com.slack.Slack");
    ProfileFormData form = ProfileFormData::from(chat);
    EXPECT_EQ(form.appliesTo, ProfileFormData::AppliesTo::application);
    form.destinationsText = QStringLiteral("api.example.com");

    form.appliesTo = ProfileFormData::AppliesTo::destinations;
    const ThrottleProfile api = form.to(chat.id(), false);
    EXPECT_EQ(api.application, QString());
    EXPECT_EQ(api.destinations.size(), 1U);
    EXPECT_EQ(ProfileFormData::from(api).appliesTo, ProfileFormData::AppliesTo::destinations);

    form.appliesTo = ProfileFormData::AppliesTo::allTraffic;
    const ThrottleProfile all = form.to(chat.id(), false);
    EXPECT_TRUE(all.application.isEmpty() && all.destinations.empty());

    form.appliesTo = ProfileFormData::AppliesTo::application;
    EXPECT_EQ(form.to(chat.id(), false).application, "com.slack.Slack");
    EXPECT_TRUE(form.to(chat.id(), false).destinations.empty());

    // A record with both, written by hand, is the application's, as it is applied.
    ThrottleProfile both = api;
    both.application = QStringLiteral("com.slack.Slack");
    const ThrottleProfile saved = ProfileFormData::from(both).to(both.id(), false);
    EXPECT_EQ(saved.application, "com.slack.Slack");
    EXPECT_TRUE(saved.destinations.empty());
}

// Part of Veltrane. Copyright (c) 2026 the Veltrane developers.
#include "ProfileFormData.h"

#include "ProfileTestSupport.h"

#include <gtest/gtest.h>

TEST(ProfileFormDataTest, formShowsAProfileAsText) {
    const ProfileFormData form = ProfileFormData::from(presetNamed("Very Bad Network"));
    EXPECT_EQ(form.downloadSpeed, "1");
    EXPECT_TRUE(form.hasDownloadLimit);
    EXPECT_EQ(form.packetLoss, "10.0");
    EXPECT_TRUE(form.hasPacketLoss);
    EXPECT_FALSE(form.hasDnsDelay);

    // A present zero loss opens switched off, absent bandwidths in Mbps.
    const ProfileFormData dns = ProfileFormData::from(presetNamed("High Latency DNS"));
    EXPECT_FALSE(dns.hasPacketLoss);
    EXPECT_TRUE(dns.packetLoss.isEmpty());
    EXPECT_EQ(dns.uploadUnit, BandwidthUnit::mbps);
    EXPECT_EQ(dns.dnsDelay, "3000");
}

TEST(ProfileFormDataTest, packetLossTextIsShortestAndReadsBack) {
    ThrottleProfile profile = presetNamed("3G");
    for (const double loss : {2.5, 0.1, 99.99, 1.0 / 3.0}) {
        profile.packetLossPercent = loss;
        const ProfileFormData form = ProfileFormData::from(profile);
        EXPECT_TRUE(form.packetLoss.contains(u'.')) << form.packetLoss.toStdString();
        EXPECT_EQ(form.to(profile.id(), false).packetLossPercent, loss);
    }
    profile.packetLossPercent = 2.5;
    EXPECT_EQ(ProfileFormData::from(profile).packetLoss, "2.5");
}

TEST(ProfileFormDataTest, profileFromFormTrimsAndLeavesSwitchedOffFieldsOut) {
    ProfileFormData form;
    form.name = QStringLiteral("  Fast  ");
    form.hasDownloadLimit = true;
    form.downloadSpeed = QStringLiteral(" 12 ");
    form.downloadUnit = BandwidthUnit::kbps;
    form.uploadSpeed = QStringLiteral("99");
    form.hasLatency = true;
    form.latency = QString();
    form.hasPacketLoss = true;
    form.packetLoss = QStringLiteral("150");
    form.hasDnsDelay = true;
    form.dnsDelay = QStringLiteral("10000000000000");
    const QUuid id = QUuid::createUuid();
    const ThrottleProfile profile = form.to(id, false);
    EXPECT_EQ(profile.name, "Fast");
    EXPECT_EQ(profile.downloadBandwidth, (Bandwidth{12, BandwidthUnit::kbps}));
    EXPECT_FALSE(profile.uploadBandwidth.has_value());
    EXPECT_FALSE(profile.latency.has_value());
    EXPECT_EQ(profile.packetLossPercent, 100.0);
    EXPECT_EQ(profile.dnsDelay, 10'000'000'000'000);
    EXPECT_TRUE(profile.showInMenu && !profile.isBuiltIn());
}

TEST(ProfileFormDataTest, convertingBackGivesTheSameProfileShownInTheMenu) {
    ThrottleProfile hidden = presetNamed("3G (Lossy)");
    hidden.showInMenu = false;
    const ThrottleProfile back = ProfileFormData::from(hidden).to(hidden.id(), true);
    ThrottleProfile expected = presetNamed("3G (Lossy)");
    EXPECT_EQ(back, expected);
}

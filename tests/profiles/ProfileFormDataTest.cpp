// SPDX-License-Identifier: MIT
#include "ProfileFormData.h"

#include "ProfileTestSupport.h"

#include <gtest/gtest.h>

TEST(ProfileFormDataTest, formShowsAProfileAsTextAndConvertsBackShownInTheMenu) {
    EXPECT_EQ(ProfileFormData::from(preset("Very Bad Network")).packetLoss, "10.0");
    // A present zero loss opens switched off, absent bandwidths in Mbps.
    const ProfileFormData dns = ProfileFormData::from(preset("High Latency DNS"));
    EXPECT_FALSE(dns.hasPacketLoss);
    EXPECT_TRUE(dns.packetLoss.isEmpty());
    EXPECT_EQ(dns.uploadUnit, BandwidthUnit::mbps);
    EXPECT_EQ(dns.dnsDelay, "3000");

    ThrottleProfile hidden = preset("3G (Lossy)");
    hidden.showInMenu = false;
    EXPECT_EQ(ProfileFormData::from(hidden).to(hidden.id(), true), preset("3G (Lossy)"));
}

TEST(ProfileFormDataTest, packetLossTextIsShortestAndReadsBackInTheHelpersSteps) {
    ThrottleProfile profile = preset("3G");
    for (const double loss : {2.5, 0.1, 99.99, 0.0001}) {
        profile.packetLossPercent = loss;
        const ProfileFormData form = ProfileFormData::from(profile);
        EXPECT_TRUE(form.packetLoss.contains(u'.')) << form.packetLoss.toStdString();
        EXPECT_EQ(form.to(profile.id(), false).packetLossPercent, loss);
    }
    // Finer figures are saved as the helper shapes them.
    for (const auto& [typed, stored] :
         {std::pair{"12.3456789", 12.3457}, {"0.00005", 0.0001}, {"0.33333333333333333", 0.3333}}) {
        ProfileFormData form;
        form.packetLoss = QString::fromLatin1(typed);
        form.hasPacketLoss = true;
        EXPECT_EQ(form.to(profile.id(), false).packetLossPercent, stored) << typed;
    }
    profile.packetLossPercent = 2.5;
    EXPECT_EQ(ProfileFormData::from(profile).packetLoss, "2.5");
}

TEST(ProfileFormDataTest, profileFromFormTrimsAndLeavesSwitchedOffFieldsOut) {
    ProfileFormData form;
    form.name = QStringLiteral("  Fast  ");
    form.downloadSpeed = QStringLiteral(" 12 ");
    form.downloadUnit = BandwidthUnit::kbps;
    form.hasDownloadLimit = true;
    form.uploadSpeed = QStringLiteral("99");
    form.hasLatency = true;
    form.packetLoss = QStringLiteral("150");
    form.hasPacketLoss = true;
    form.dnsDelay = QStringLiteral("10000000000000");
    form.hasDnsDelay = true;
    const ThrottleProfile profile = form.to(QUuid::createUuid(), false);
    EXPECT_EQ(profile.name, "Fast");
    EXPECT_EQ(profile.downloadBandwidth, (Bandwidth{12, BandwidthUnit::kbps}));
    EXPECT_FALSE(profile.uploadBandwidth.has_value());
    EXPECT_FALSE(profile.latency.has_value());
    EXPECT_EQ(profile.packetLossPercent, 100.0);
    EXPECT_EQ(profile.dnsDelay, 10'000'000'000'000);
    EXPECT_TRUE(profile.showInMenu && !profile.isBuiltIn());
}

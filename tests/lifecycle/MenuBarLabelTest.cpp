// SPDX-License-Identifier: MIT
#include "MenuBarLabel.h"

#include "ControlFakes.h"

#include <gtest/gtest.h>

namespace {

ThrottleState runningWith(const ThrottleProfile& profile) {
    ThrottleState state;
    state.isEnabled = true;
    state.currentProfile = profile;
    return state;
}

ThrottleProfile custom(std::optional<Bandwidth> down, std::optional<Bandwidth> up,
                       std::optional<std::int64_t> latency, std::optional<double> loss,
                       std::optional<std::int64_t> dns) {
    return {QUuid::createUuid(), QStringLiteral("Mine"), down, up, latency, loss, dns, false, true};
}

TEST(MenuBarLabelTest, TheTooltipListsOnlyTheConditionsThatShape) {
    EXPECT_EQ(MenuBarLabel::from(ThrottleState{}).tooltip, "Veltrane - OFF");
    EXPECT_EQ(MenuBarLabel::from(ThrottleState{}).iconName,
              "gauge.open.with.lines.needle.33percent");

    const MenuBarLabel fast = MenuBarLabel::from(
        runningWith(custom(Bandwidth{10, BandwidthUnit::mbps}, Bandwidth{2, BandwidthUnit::mbps}, 0,
                           std::nullopt, std::nullopt)));
    EXPECT_EQ(fast.tooltip, "Veltrane - ON\nProfile: Mine\nDownload: 10 Mbps\nUpload: 2 Mbps");
    EXPECT_EQ(fast.iconName, "gauge.open.with.lines.needle.33percent.and.arrowtriangle");

    EXPECT_EQ(menuBarTooltip(
                  runningWith(custom(std::nullopt, std::nullopt, std::nullopt, std::nullopt, 300))),
              "Veltrane - ON\nProfile: Mine");
    ThrottleState shared = runningWith(custom(std::nullopt, std::nullopt, 5, std::nullopt, 300));
    shared.owner = FakeHelperClient::ownerOf("veltranectl run: make test", true, false);
    EXPECT_EQ(menuBarTooltip(shared),
              "Veltrane - ON\nBy: veltranectl run: make test\nProfile: Mine\nLatency: +5ms");
    EXPECT_EQ(menuBarTooltip(runningWith(preset("3G (Lossy)"))),
              "Veltrane - ON\nProfile: 3G (Lossy)\nDownload: 780 Kbps\nUpload: 330 Kbps\n"
              "Latency: +100ms\nPacket Loss: 1%");
    EXPECT_EQ(menuBarTooltip(runningWith(custom(std::nullopt, std::nullopt, 1, 0.0, std::nullopt))),
              "Veltrane - ON\nProfile: Mine\nLatency: +1ms");
}

TEST(MenuBarLabelTest, SeveralThrottlesAreCountedOneLineEach) {
    ThrottleState state = runningWith(preset("3G"));
    std::string failure;
    const ThrottleScope scoped{{*Destination::parse("10.0.0.0/8", failure)}, {}, {}};
    state.throttles = {
        {1, {}, {}, {97'500, 0, 0, 0, 0}, FakeHelperClient::ownerOf("Veltrane", true)},
        {2, scoped, {}, {0, 0, 40, 0, 0}, FakeHelperClient::ownerOf("", false, false)}};
    EXPECT_EQ(menuBarTooltip(state).section(u'\n', 0, 1),
              "Veltrane: 2 throttles on\nAll traffic: D: 780 Kbps (Veltrane)");
    EXPECT_TRUE(menuBarTooltip(state).section(u'\n', 2).startsWith("Only to 10.0.0.0/8: 40ms ("));
    // One throttle reads as it always has.
    state.throttles.pop_back();
    EXPECT_TRUE(menuBarTooltip(state).startsWith("Veltrane - ON\nProfile: 3G"));
}

} // namespace

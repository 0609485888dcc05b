// SPDX-License-Identifier: MIT
#include "LiveStatisticsModel.h"

#include "UiWorld.h"

#include <gtest/gtest.h>

namespace {

// A reading of the helper at `takenAtMs` after `downloadBytes` passed.
ShaperStatistics readingAt(quint64 takenAtMs, quint64 downloadBytes) {
    return {true, takenAtMs,
            DirectionStatistics{.bytes = downloadBytes, .dropped = 3, .queueMs = 120},
            DirectionStatistics{.bytes = 10, .queuedPackets = 2}};
}

// The panel's text with its no-break spaces as plain ones.
QString plain(QString text) {
    return text.replace(QChar(0x00a0), u' ');
}

class LiveStatisticsModelTest : public testing::Test {
protected:
    void switchOn() { finish(world.service.applyProfile(world.named("3G"))); }
    void readAt(quint64 takenAtMs, quint64 downloadBytes) {
        world.helper.statistics = readingAt(takenAtMs, downloadBytes);
        figures.refresh();
    }

    UiWorld world;
    LiveStatisticsModel figures{world.service};
};

TEST_F(LiveStatisticsModelTest, NothingIsAskedWhileThrottlingIsOff) {
    world.helper.statistics = readingAt(1'000, 5);
    figures.refresh();
    EXPECT_EQ(world.helper.statisticsReads, 0);
    EXPECT_TRUE(figures.downloadText().isEmpty());
    EXPECT_TRUE(figures.uploadText().isEmpty());
}

TEST_F(LiveStatisticsModelTest, TheRateIsWhatPassedBetweenTheLastTwoReadings) {
    switchOn();
    readAt(10'000, 1'000);
    EXPECT_EQ(plain(figures.downloadText()), QStringLiteral("↓ – Kbps · 3 dropped · queue 120 ms"));
    EXPECT_EQ(plain(figures.uploadText()), QStringLiteral("↑ – Kbps · 0 dropped · queue 2 pkts"));

    readAt(11'000, 101'000);
    // A line too wide wraps between its parts only.
    EXPECT_EQ(figures.downloadText(),
              QStringLiteral("↓\u00a0800\u00a0Kbps · 3\u00a0dropped · queue\u00a0120\u00a0ms"));
    EXPECT_EQ(figures.downloadDescription(),
              QStringLiteral("Download 800 Kbps, 3 dropped, queue 120 ms"));
    EXPECT_EQ(plain(figures.uploadText()), QStringLiteral("↑ 0.0 Kbps · 0 dropped · queue 2 pkts"));

    // The helper's cache answered the same reading again: the rate stays.
    readAt(11'000, 101'000);
    EXPECT_EQ(plain(figures.downloadText()),
              QStringLiteral("↓ 800 Kbps · 3 dropped · queue 120 ms"));
    EXPECT_EQ(world.helper.statisticsReads, 3);
}

TEST_F(LiveStatisticsModelTest, ASlowAnswerIsNotAskedAgainMeanwhile) {
    switchOn();
    world.helper.gated = true;
    readAt(10'000, 1'000);
    figures.refresh();
    figures.refresh();
    EXPECT_EQ(world.helper.statisticsReads, 1);
    world.helper.gated = false;
    world.helper.release();
    EXPECT_FALSE(figures.downloadText().isEmpty());
    figures.refresh();
    EXPECT_EQ(world.helper.statisticsReads, 2);
}

TEST_F(LiveStatisticsModelTest, AFailureSaysSoAndSwitchingOffForgetsTheFigures) {
    switchOn();
    world.helper.nextFailure =
        std::make_exception_ptr(ThrottleError::helperError("tc: cannot open netlink socket"));
    readAt(10'000, 1'000);
    EXPECT_EQ(figures.downloadText(), QStringLiteral("Live figures unavailable"));
    EXPECT_EQ(figures.downloadDescription(),
              QStringLiteral("Live figures unavailable: Helper error: tc: cannot open netlink "
                             "socket"));
    EXPECT_TRUE(figures.uploadText().isEmpty());

    readAt(11'000, 2'000);
    readAt(12'000, 3'000);
    EXPECT_EQ(plain(figures.downloadText()),
              QStringLiteral("↓ 8.0 Kbps · 3 dropped · queue 120 ms"));

    finish(world.service.removeThrottling());
    EXPECT_TRUE(figures.downloadText().isEmpty());
    // Switched on again, the first reading tells no rate: the last one was
    // of the shaping before.
    switchOn();
    readAt(13'000, 4'000);
    EXPECT_EQ(plain(figures.downloadText()), QStringLiteral("↓ – Kbps · 3 dropped · queue 120 ms"));
}

} // namespace

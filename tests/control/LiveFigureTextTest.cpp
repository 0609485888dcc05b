// SPDX-License-Identifier: MIT
#include "LiveFigureText.h"

#include "ShaperStatistics.h"

#include <gtest/gtest.h>

namespace {

using LiveFigureText::Direction;

TEST(LiveFigureTextTest, RatesCountsAndQueuesKeepThreeFiguresAcrossTheirUnits) {
    const std::pair<double, const char*> rates[] = {
        {0, "0.0 Kbps"},        {8'240, "8.2 Kbps"},       {9'949, "9.9 Kbps"},
        {9'950, "10 Kbps"},     {412'400, "412 Kbps"},     {999'499, "999 Kbps"},
        {999'500, "1.00 Mbps"}, {12'345'678, "12.3 Mbps"}, {999'499'999, "999 Mbps"},
        {1.25e9, "1.25 Gbps"},  {10e9, "10.0 Gbps"}};
    for (const auto& [bits, text] : rates) {
        EXPECT_EQ(LiveFigureText::rate(bits), QString::fromUtf8(text)) << bits;
    }
    const std::pair<quint64, const char*> counts[] = {
        {0, "0"},
        {9'999, "9999"},
        {10'000, "10k"},
        {999'499, "999k"},
        {999'500, "1.0M"},
        {12'345'678, "12M"},
        {18'446'744'073'709'551'615ull, "18446744073710M"}};
    for (const auto& [value, text] : counts) {
        EXPECT_EQ(LiveFigureText::count(value), QString::fromUtf8(text)) << value;
    }
    const std::pair<DirectionStatistics, const char*> queues[] = {
        {{.queueMs = 0}, "0 ms"},
        {{.queueMs = 999}, "999 ms"},
        {{.queueMs = 1'000}, "1.0 s"},
        {{.queueMs = 9'949}, "9.9 s"},
        {{.queueMs = 12'345}, "12 s"},
        // Unlimited: what waits waits only for its delay, told in packets.
        {{.queuedPackets = 1}, "1 pkt"},
        {{.queuedPackets = 11'082}, "11082 pkts"}};
    for (const auto& [figures, text] : queues) {
        EXPECT_EQ(LiveFigureText::queue(figures), QString::fromUtf8(text)) << text;
    }
}

TEST(LiveFigureTextTest, ALineTellsRateDropsAndQueueAndSaysSoInWordsForAScreenReader) {
    const DirectionStatistics figures{.bytes = 1, .dropped = 3, .queueMs = 120};
    EXPECT_EQ(LiveFigureText::line(Direction::download, figures, 412'000),
              QStringLiteral("↓ 412 Kbps · 3 dropped · queue 120 ms"));
    EXPECT_EQ(LiveFigureText::spoken(Direction::download, figures, 412'000),
              QStringLiteral("Download 412 Kbps, 3 dropped, queue 120 ms"));
    // Before a second reading there is no rate yet; the line keeps its shape.
    EXPECT_EQ(LiveFigureText::line(Direction::upload, figures, std::nullopt),
              QStringLiteral("↑ – Kbps · 3 dropped · queue 120 ms"));
    EXPECT_EQ(LiveFigureText::spoken(Direction::upload, figures, std::nullopt),
              QStringLiteral("Upload rate not known yet, 3 dropped, queue 120 ms"));
    // The widest a line gets stays within a few words.
    const DirectionStatistics widest{.dropped = 999'499, .queuedPackets = 11'082};
    EXPECT_LE(LiveFigureText::line(Direction::download, widest, 1.23e6).size(), 45);
}

TEST(LiveFigureTextTest, ARateNeedsTwoReadingsOfTheSameShaperALittleApart) {
    ShaperStatistics earlier{true, 10'000, DirectionStatistics{.bytes = 1'000}, std::nullopt};
    ShaperStatistics later{true, 11'000, DirectionStatistics{.bytes = 126'000},
                           DirectionStatistics{.bytes = 5}};
    EXPECT_EQ(LiveFigureText::bitsPerSecond(earlier, later, Direction::download), 1'000'000.0);
    // Not in both readings.
    EXPECT_EQ(LiveFigureText::bitsPerSecond(earlier, later, Direction::upload), std::nullopt);
    // The same reading twice (the helper's cache), or in the wrong order.
    EXPECT_EQ(LiveFigureText::bitsPerSecond(later, later, Direction::download), std::nullopt);
    EXPECT_EQ(LiveFigureText::bitsPerSecond(later, earlier, Direction::download), std::nullopt);
    // A shaper set up anew counts from zero again.
    later.download->bytes = 500;
    EXPECT_EQ(LiveFigureText::bitsPerSecond(earlier, later, Direction::download), std::nullopt);
    // Too far apart to tell the rate of now.
    later.download->bytes = 126'000;
    later.takenAtMs = earlier.takenAtMs + LiveFigureText::kLongestRateIntervalMs + 1;
    EXPECT_EQ(LiveFigureText::bitsPerSecond(earlier, later, Direction::download), std::nullopt);
}

} // namespace

// SPDX-License-Identifier: MIT
#include "PacketDeliveryTrace.h"

#include "ProfileTestSupport.h"

#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;

namespace {

// "Line 42: the time goes backwards (1200 after 1250)", as the editor
// shows a refusal of the text it was given.
QString refusal(const QByteArray& text, std::int64_t stepMs = 100) {
    const PacketDeliveryTrace::Steps steps = PacketDeliveryTrace::parse(text, stepMs);
    if (steps.ok()) {
        return QStringLiteral("<read>");
    }
    return steps.line > 0 ? QStringLiteral("Line %1: %2").arg(steps.line).arg(steps.reason)
                          : steps.reason;
}

} // namespace

TEST(PacketDeliveryTraceTest, aBadFileIsRefusedNamingTheLineAndWhy) {
    const std::pair<QByteArray, const char*> refused[] = {
        {"10\n20\n\n15\n", "Line 4: the time goes backwards (15 after 20)"},
        {"10\n2O\n", "Line 2: \"2O\" is not a whole number of milliseconds"},
        {"10\n1.5\n", "Line 2: \"1.5\" is not a whole number of milliseconds"},
        {"10 20\n", "Line 1: \"10 20\" is not a whole number of milliseconds"},
        {"5\n-3\n", "Line 2: the time -3 is negative"},
        {"5\n86400001\n",
         "Line 2: the time 86400001 is past 24 hours, the longest a trace may run"},
        // Far beyond 64 bits: refused, not wrapped around to a small time.
        {"18446744073709551621\n", "Line 1: the time 18446744073709551621 is past 24 hours, the "
                                   "longest a trace may run"},
        {QByteArray("12\n\x01\x02\n"), "Line 2: not a whole number of milliseconds"},
        {"", "the file holds no times"},
        {"\r\n  \n", "the file holds no times"},
        {"0\n0\n\n", "Line 2: every time is 0, so the trace has no length"},
        // 83334 chances in the first 100 ms: just over 10 Gbit/s.
        {QByteArray("0\n").repeated(83'334) + "200\n",
         "the trace delivers more than 10000 Mbps between 0 and 100 ms"},
    };
    for (const auto& [text, message] : refused) {
        EXPECT_EQ(refusal(text), message) << text.left(40).toStdString();
    }
    // 24 hours is not a whole number of 700 ms steps: the last, played
    // whole, would run past it.
    EXPECT_EQ(refusal("86400000\n", 700),
              "Line 1: in whole steps of 700 ms the trace runs past 24 hours");
    EXPECT_EQ(refusal("86400000\n", 100), "<read>");
}

TEST(PacketDeliveryTraceTest, chancesAreBinnedIntoStepsOfTheLoop) {
    // Spaces, CRLF, blank lines and a missing last newline pass; the two
    // chances at 250, the last time, are the next loop's first.
    const QByteArray text = "0\r\n 10 \n10\n\n50\n150\n150\n150\n220\n250\n250";
    const PacketDeliveryTrace::Steps steps = PacketDeliveryTrace::parse(text, 100);
    ASSERT_TRUE(steps.ok()) << steps.reason.toStdString();
    EXPECT_EQ(steps.lengthMs, 250);
    // 6 packets of 1500 bytes in 100 ms; 3; and 1 in the last step, which
    // is 50 ms long.
    EXPECT_THAT(steps.bytesPerSecond, ElementsAre(90'000, 45'000, 30'000));

    // A last time on a step's edge ends the trace there: no empty step
    // after it.
    EXPECT_THAT(PacketDeliveryTrace::parse("1\n2\n200\n", 100).bytesPerSecond,
                ElementsAre(45'000, 0));
    // Steps of a second: one packet a millisecond is 1.5 MB/s.
    QByteArray everyMillisecond;
    for (int ms = 1; ms <= 3000; ++ms) {
        everyMillisecond += QByteArray::number(ms) + '\n';
    }
    EXPECT_THAT(PacketDeliveryTrace::parse(everyMillisecond, 1000).bytesPerSecond,
                ElementsAre(1'500'000, 1'500'000, 1'500'000));
}

TEST(PacketDeliveryTraceTest, ratesAreStoredAsWholePacketsAndSummarised) {
    // A step of 700 ms holds no whole number of bytes per second per packet.
    EXPECT_EQ(PacketDeliveryTrace::bytesPerSecond(1, 700), 2143);
    EXPECT_EQ(PacketDeliveryTrace::packetsPerStep(2143, 700), 1);
    EXPECT_EQ(PacketDeliveryTrace::packetsPerStep(2142, 700), 1);
    EXPECT_EQ(PacketDeliveryTrace::packetsPerStep(1071, 700), 0);
    EXPECT_EQ(PacketDeliveryTrace::packetsPerStep(1072, 700), 1);
    // What no step could hold is held at the bound, not overflowed.
    EXPECT_EQ(PacketDeliveryTrace::packetsPerStep(std::numeric_limits<std::int64_t>::max(), 1000),
              PacketDeliveryTrace::kMaxPacketsPerStep);

    CapacityTrace trace;
    trace.stepMs = 200;
    trace.downloadBytesPerSecond = {7500, 0, 15'000, 22'500};
    const PacketDeliveryTrace::Summary summary = PacketDeliveryTrace::summary(trace);
    ASSERT_TRUE(summary.download);
    EXPECT_EQ(*summary.download, (PacketDeliveryTrace::Summary::Direction{800, 11'250, 0, 22'500}));
    EXPECT_FALSE(summary.upload);
    EXPECT_EQ(summary.lengthMs(), 800);
}

TEST(PacketDeliveryTraceTest, filesAreImportedPerDirectionAndNamedInTheirRefusal) {
    QTemporaryDir folder;
    const QString down = folder.filePath("down.trace");
    const QString bad = folder.filePath("bad.trace");
    writeFile(down, "100\n200\n");
    writeFile(bad, "100\n90\n");

    const PacketDeliveryTrace::Imported imported = PacketDeliveryTrace::importFiles(down, {}, 100);
    EXPECT_TRUE(imported.error.isEmpty()) << imported.error.toStdString();
    EXPECT_THAT(imported.trace.downloadBytesPerSecond, ElementsAre(15'000, 15'000));
    EXPECT_TRUE(imported.trace.uploadBytesPerSecond.empty());

    EXPECT_EQ(PacketDeliveryTrace::importFiles(down, bad).error,
              "Cannot import " + bad + ", line 2: the time goes backwards (90 after 100)");
    EXPECT_EQ(PacketDeliveryTrace::importFiles(folder.filePath("none"), {}).error,
              "Cannot import " + folder.filePath("none") + ": there is no such file");
    EXPECT_EQ(PacketDeliveryTrace::importFiles(folder.path(), {}).error,
              "Cannot import " + folder.path() + ": not a regular file");
    EXPECT_EQ(PacketDeliveryTrace::importFiles(down, {}, 50).error,
              "The steps of a trace are 100 to 1000 ms long, not 50 ms");
    EXPECT_TRUE(PacketDeliveryTrace::importFiles({}, {}).trace.empty());
}

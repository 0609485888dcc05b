// SPDX-License-Identifier: MIT
#include "HelperOnPrivateBus.h"
#include "VeltranectlRunner.h"
#include "WaitUntil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>

using testing::HasSubstr;
using testing::MatchesRegex;
using namespace std::chrono_literals;

namespace {

// dnctl's listing of the two pipes after `downloadBytes` arrived on the
// download pipe, 90 of its packets dropped and 10 (15,000 bytes) waiting;
// line feeds as the fake tools' "\n" escapes.
std::string pipeListing(long long downloadBytes) {
    return "00001: 780.000 Kbit/s   50 ms   50 sl. 1 queues (1 buckets) droptail\\n"
           "BKT Prot ___Source IP/port____ ____Dest. IP/port____ Tot_pkt/bytes Pkt/Byte Drp\\n"
           "  0 tcp      17.253.1.1/443     192.168.1.5/51234      1200 " +
           std::to_string(downloadBytes) +
           "  10 15000   90\\n"
           "00002: 330.000 Kbit/s   50 ms   50 sl. 0 queues (1 buckets) droptail\\n";
}

// With the sandboxed daemon, shaping with pf and dummynet, as the system bus.
class StatisticsCommandsTest : public VeltranectlRunner {
protected:
    StatisticsCommandsTest() {
        environment.insert("DBUS_SYSTEM_BUS_ADDRESS", helper.bus().address());
    }

    void listPipes(long long downloadBytes) {
        helper.tools().clearAnswers();
        helper.tools().answer("dnctl", "pipe show", 0, pipeListing(downloadBytes));
    }

    HelperOnPrivateBus helper;
};

TEST_F(StatisticsCommandsTest, StatusStatsMeasuresOverASecondAndSaysWhenItCannot) {
    listPipes(1'500'000);
    // Off: nothing to measure, and nothing asked.
    EXPECT_EQ(run({"status", "--stats"}).out,
              "Helper: enabled\nThrottling: off\nSelected profile: none\n");
    ASSERT_EQ(run({"apply", "3G"}).status, 0);

    const Outcome on = run({"status", "--stats"});
    EXPECT_EQ(on.status, 0);
    // Nothing passed between the two readings; 15,000 bytes wait at 97,500 a
    // second.
    EXPECT_THAT(on.lines(),
                testing::Contains("Live: ↓ 0.0 Kbps · 90 dropped · queue 154 ms — ↑ 0.0 Kbps · "
                                  "0 dropped · queue 0 ms"));
    const QJsonObject statistics =
        run({"status", "--stats", "--json"}).json().object().value("statistics").toObject();
    const QJsonObject download = statistics.value("download").toObject();
    EXPECT_EQ(download.value("dropped").toInteger(), 90);
    EXPECT_EQ(download.value("queuedBytes").toInteger(), 15'000);
    EXPECT_EQ(download.value("queueMs").toInteger(), 154);
    EXPECT_EQ(download.value("bitsPerSecond").toInteger(-1), 0);
    EXPECT_GT(statistics.value("takenAt").toInteger(), 0);

    // What the helper says goes to the terminal as text, never as its commands.
    helper.tools().clearAnswers();
    helper.tools().answer("dnctl", "pipe show", 1, "", "dnctl: \\033[2Jcleared");
    const Outcome failed = run({"status", "--stats"});
    EXPECT_EQ(failed.status, 0);
    EXPECT_THAT(failed.out.toStdString(), HasSubstr("Live: unavailable: Helper error: Command "
                                                    "failed: Failed to read the shaping's "
                                                    "statistics: dnctl: "));
    EXPECT_FALSE(failed.out.contains(QChar(0x1b)));
}

TEST_F(StatisticsCommandsTest, StatusStatsJsonGivesEachThrottlesOwnFiguresUnderItsId) {
    ASSERT_EQ(run({"apply", "3G"}).status, 0);
    ASSERT_EQ(run({"apply", "edge", "--only-to", "10.0.0.1"}).status, 0);
    // The destination's pipes, 3 and 4, after 7 of its packets were dropped.
    helper.tools().clearAnswers();
    helper.tools().answer(
        "dnctl", "pipe show", 0,
        pipeListing(1'500'000) +
            "00003: 240.000 Kbit/s  200 ms   50 sl. 1 queues (1 buckets) droptail\\n"
            "BKT Prot ___Source IP/port____ ____Dest. IP/port____ Tot_pkt/bytes Pkt/Byte Drp\\n"
            "  0 tcp        10.0.0.1/443     192.168.1.5/51234       300  400000    2 3000    7\\n"
            "00004: 200.000 Kbit/s  200 ms   50 sl. 0 queues (1 buckets) droptail\\n");

    const QJsonObject statistics =
        run({"status", "--stats", "--json"}).json().object().value("statistics").toObject();
    const QJsonObject throttles = statistics.value("throttles").toObject();
    const auto dropped = [](const QJsonObject& figures) {
        return figures.value("download").toObject().value("dropped").toInteger();
    };
    EXPECT_EQ(dropped(throttles.value("1").toObject()), 90);
    EXPECT_EQ(dropped(throttles.value("2").toObject()), 7);
    // Measured over the second each, as the whole reading is.
    EXPECT_EQ(throttles.value("2")
                  .toObject()
                  .value("download")
                  .toObject()
                  .value("bitsPerSecond")
                  .toInteger(-1),
              0);
    // The figures on top stay the whole machine's.
    EXPECT_EQ(dropped(statistics), 90);
}

TEST_F(StatisticsCommandsTest, WatchStatsPrintsALineASecondWithTheRateOfThatSecond) {
    listPipes(1'500'000);
    ASSERT_EQ(run({"apply", "3G"}).status, 0);
    QProcess text;
    start(text, {"watch", "--stats"});
    QProcess json;
    start(json, {"watch", "--stats", "--json"});
    QByteArray textOut;
    QByteArray jsonOut;
    const auto linesSeen = [&](int count) {
        return waitUntil(
            [&] {
                textOut += text.readAllStandardOutput();
                jsonOut += json.readAllStandardOutput();
                return textOut.count('\n') >= count && jsonOut.count('\n') >= count;
            },
            20s);
    };
    ASSERT_TRUE(linesSeen(1));
    // About 125,000 bytes a second from now on: a megabit.
    for (int second = 1; second <= 3; ++second) {
        listPipes(1'500'000 + second * 125'000);
        ASSERT_TRUE(linesSeen(second + 1));
    }
    ASSERT_EQ(run({"off"}).status, 0);
    ASSERT_TRUE(linesSeen(6));
    signalProcess(text.processId(), SIGINT);
    signalProcess(json.processId(), SIGTERM);
    EXPECT_EQ(finished(text).status, 0);
    EXPECT_EQ(finished(json).status, 0);

    const QList<QByteArray> lines = textOut.trimmed().split('\n');
    EXPECT_THAT(lines.first().toStdString(),
                MatchesRegex("..:..:.. ↓ – Kbps · 90 dropped · queue 154 ms — ↑ – Kbps · 0 "
                             "dropped · queue 0 ms"));
    EXPECT_EQ(lines.last().mid(9), "off");
    bool sawMegabit = false;
    for (const QByteArray& line : jsonOut.trimmed().split('\n')) {
        const QJsonObject record = QJsonDocument::fromJson(line).object();
        const double rate = record.value("statistics")
                                .toObject()
                                .value("download")
                                .toObject()
                                .value("bitsPerSecond")
                                .toDouble();
        // The counters changed a second apart, read after whatever delay.
        sawMegabit = sawMegabit || (rate > 0.5e6 && rate < 3e6);
        EXPECT_TRUE(record.contains("time") && record.contains("active")) << line.toStdString();
    }
    EXPECT_TRUE(sawMegabit) << jsonOut.toStdString();
}

} // namespace

// SPDX-License-Identifier: MIT
#include "ProfileManager.h"
#include "UserDefaults.h"
#include "VeltranectlRunner.h"

#include <QFile>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

using testing::ElementsAre;
using testing::HasSubstr;

namespace {

// Profiles with schedules made, changed and shown through veltranectl.
class ScheduleOptionsTest : public VeltranectlRunner {
protected:
    Outcome showOnTerminal(const QString& profile) const {
        return runOnTerminal("show " + profile);
    }

    QString file(const QString& name, const QByteArray& contents) const {
        QFile out(home.filePath(name));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(contents);
        return out.fileName();
    }

    // What the application reads from the same store.
    std::optional<ThrottleProfile> stored(const QString& name) const {
        UserDefaults settings(home.filePath("config/Veltrane/Veltrane.json"));
        ProfileManager application(settings, home.filePath("data"));
        application.loadCustomProfiles();
        for (const ThrottleProfile& profile : application.allProfiles()) {
            if (profile.name == name) {
                return profile;
            }
        }
        return std::nullopt;
    }

    // Two steps of 100 ms: 3 packets (the one at the loop's end counts in
    // the first), then 2.
    const QByteArray kTrace = "0\n50\n100\n150\n200\n";
};

TEST_F(ScheduleOptionsTest, createTakesPhasesOfAProfileOfTheirOwnConditionsAndOutages) {
    const Outcome created =
        run({"create", "--name", "Train", "--phase", "40s:3g", "--phase",
             "1.5s:Fast:down=8mbps,latency=40ms", "--phase", "300ms:outage", "--once"});
    ASSERT_EQ(created.status, 0) << created.err.toStdString();

    // Stored as the application reads it: the named profile's conditions
    // under its own name, the typed ones in their units.
    const std::optional<ThrottleProfile> train = stored("Train");
    ASSERT_TRUE(train);
    const ProfileSchedule& schedule = train->schedule;
    EXPECT_FALSE(schedule.repeat);
    ASSERT_EQ(schedule.phases.size(), 3U);
    EXPECT_EQ(schedule.phases[0].name, "3G");
    EXPECT_EQ(schedule.phases[0].durationMs, 40'000);
    NetworkConditions threeG;
    threeG.downloadBandwidth = Bandwidth{780, BandwidthUnit::kbps};
    threeG.uploadBandwidth = Bandwidth{330, BandwidthUnit::kbps};
    threeG.latency = 100;
    EXPECT_EQ(schedule.phases[0].conditions, threeG);
    EXPECT_EQ(schedule.phases[1].name, "Fast");
    EXPECT_EQ(schedule.phases[1].durationMs, 1500);
    NetworkConditions fast;
    fast.downloadBandwidth = Bandwidth{8, BandwidthUnit::mbps};
    fast.latency = 40;
    EXPECT_EQ(schedule.phases[1].conditions, fast);
    EXPECT_EQ(schedule.phases[2].name, "Outage");
    EXPECT_EQ(schedule.phases[2].durationMs, 300);
    EXPECT_TRUE(schedule.phases[2].isOutage());

    // The listing keeps a line a profile; show on a terminal says each
    // phase in the words --phase takes.
    EXPECT_EQ(run({"profiles"}).lines().last(), "Train\t3 phases, once\tcustom\tshown");
    const Outcome shown = showOnTerminal("Train");
    EXPECT_THAT(shown.lines().mid(3),
                ElementsAre("Type: custom, shown", "Schedule: 3 phases, once: the last phase holds",
                            "  1. 40 s  3G: D: 780 Kbps, U: 330 Kbps, 100ms",
                            "  2. 1.5 s  Fast: D: 8 Mbps, 40ms",
                            "  3. 300 ms  Outage: outage, nothing passes"));
}

TEST_F(ScheduleOptionsTest, faultyPhasesAndTracesAreRefusedNamingTheTextAndNothingIsStored) {
    const QString trace = file("down.trace", kTrace);
    const QString backwards = file("bad.trace", "0\n50\n40\n");
    QStringList tooMany{"create", "--name", "Long"};
    for (int i = 0; i < 65; ++i) {
        tooMany << "--phase"
                << "1s:3G";
    }
    const std::pair<QStringList, const char*> cases[] = {
        {{"--phase", "40:3G"}, "--phase '40:3G': give DURATION:WHAT, where a duration is"},
        {{"--phase", "1.5ms:3G"}, "--phase '1.5ms:3G': give DURATION:WHAT"},
        {{"--phase", "50ms:3G"}, "Phase 1 (3G): Duration must be between 100 ms and 24 hours"},
        {{"--phase", "5s:Nowhere"}, "--phase '5s:Nowhere': no profile with the id or name"},
        {{"--phase", "5s:Elevator"}, "'Elevator' has a schedule of its own"},
        {{"--phase", "5s:Fast:speed=1mbps"}, "'speed=1mbps' is not KEY=VALUE"},
        {{"--phase", "5s:Fast:down=8"}, "Download: Bandwidth needs a unit"},
        {{"--phase", "5s:Fast:latency=20000ms"}, "Phase 1 (Fast): Latency"},
        {{"--phase", "5s:3G", "--trace-down", trace}, "a profile plays phases or a trace"},
        {{"--trace-down", backwards}, "bad.trace, line 3: the time goes backwards"},
        {{"--trace-down", trace, "--trace-step", "2s"}, "100 to 1000 ms long, not 2000 ms"},
        {{"--down", "1mbps", "--once"}, "--repeat and --once go with phases"},
    };
    for (const auto& [arguments, message] : cases) {
        const Outcome refused = run(QStringList{"create", "--name", "Bad"} + arguments);
        EXPECT_EQ(refused.status, 2) << arguments.join(u' ').toStdString();
        EXPECT_THAT(refused.err.toStdString(), HasSubstr(message));
    }
    const Outcome refused = run(tooMany);
    EXPECT_EQ(refused.status, 2);
    EXPECT_THAT(refused.err.toStdString(), HasSubstr("at most 64 phases, not 65"));
    EXPECT_EQ(run({"profiles"}).lines().size(), 13);
}

TEST_F(ScheduleOptionsTest, editReplacesTheScheduleKeepsHowPhasesPlayAndNoScheduleRemovesIt) {
    ASSERT_EQ(
        run({"create", "--name", "Train", "--phase", "1s:3G", "--phase", "1s:outage", "--once"})
            .status,
        0);
    ASSERT_EQ(run({"edit", "Train", "--phase", "2m:Edge"}).status, 0);
    std::optional<ThrottleProfile> train = stored("Train");
    ASSERT_TRUE(train);
    ASSERT_EQ(train->schedule.phases.size(), 1U);
    EXPECT_EQ(train->schedule.phases[0].name, "Edge");
    EXPECT_EQ(train->schedule.phases[0].durationMs, 120'000);
    EXPECT_FALSE(train->schedule.repeat);
    ASSERT_EQ(run({"edit", "Train", "--repeat"}).status, 0);
    EXPECT_TRUE(stored("Train")->schedule.repeat);

    // A trace in place of the phases, the upload left to the profile.
    const QString trace = file("down.trace", kTrace);
    ASSERT_EQ(run({"edit", "Train", "--trace-down", trace, "--up", "1mbps"}).status, 0);
    train = stored("Train");
    EXPECT_TRUE(train->schedule.phases.empty());
    EXPECT_THAT(train->schedule.trace.downloadBytesPerSecond, ElementsAre(45'000, 30'000));
    EXPECT_THAT(showOnTerminal("Train").lines().mid(4),
                ElementsAre("Schedule: trace of 200 ms in steps of 100 ms, looping",
                            "  Download: 200 ms long, mean 300 Kbps, lowest 240 Kbps, highest "
                            "360 Kbps",
                            "  Upload: the profile's own rate"));

    const Outcome both = run({"edit", "Train", "--no-schedule", "--phase", "1s:3G"});
    EXPECT_EQ(both.status, 2);
    ASSERT_EQ(run({"edit", "Train", "--no-schedule"}).status, 0);
    const QJsonObject record = show("Train");
    EXPECT_FALSE(record.contains("phases") || record.contains("trace"));
    EXPECT_EQ(record.value("uploadBandwidth").toObject().value("value").toInt(), 1);
}

} // namespace

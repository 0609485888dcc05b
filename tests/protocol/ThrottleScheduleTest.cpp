// SPDX-License-Identifier: MIT
// A schedule's bounds, where it stands at any time from its start, and its
// bus dictionary.
#include "ThrottleSchedule.h"

#include "ScheduleDictionary.h"

#include <QVariantList>
#include <gtest/gtest.h>

namespace {

constexpr std::int64_t kHour = 60LL * 60 * 1000;

SchedulePhase phase(std::string name, std::int64_t durationMs, std::int64_t down) {
    SchedulePhase made;
    made.name = std::move(name);
    made.durationMs = durationMs;
    made.parameters.downloadBytesPerSecond = down;
    return made;
}

SchedulePhase outage(std::int64_t durationMs) {
    SchedulePhase made;
    made.name = "Outage";
    made.durationMs = durationMs;
    made.outage = true;
    return made;
}

ThrottleSchedule phases(std::vector<SchedulePhase> list, bool repeat) {
    ThrottleSchedule schedule;
    schedule.phases = std::move(list);
    schedule.repeat = repeat;
    return schedule;
}

ThrottleSchedule trace(std::vector<std::int64_t> download, std::vector<std::int64_t> upload,
                       std::int64_t stepMs = 100) {
    ThrottleSchedule schedule;
    schedule.trace = {stepMs, std::move(download), std::move(upload)};
    return schedule;
}

const ThrottleParameters kBase{
    .downloadBytesPerSecond = 5000, .uploadBytesPerSecond = 700, .latencyMs = 40};

} // namespace

TEST(ThrottleScheduleTest, TheBoundsAreCheckedNamingThePhaseOrTheDirection) {
    std::vector<SchedulePhase> most(ThrottleSchedule::kMaxPhases, phase("LTE", 100, 1));
    EXPECT_EQ(phases(most, true).check(), std::nullopt);
    most.push_back(phase("LTE", 100, 1));
    EXPECT_EQ(phases(most, true).check(), "A schedule has at most 64 phases, not 65");

    EXPECT_EQ(phases({phase("LTE", 24 * kHour, 1), outage(100)}, false).check(), std::nullopt);
    EXPECT_EQ(phases({phase("LTE", 100, 1), phase("3G", 100, 1), outage(99)}, true).check(),
              "Phase 3 (Outage): a phase lasts 100 ms to 24 h, not 99 ms");
    EXPECT_EQ(phases({phase("Long", 24 * kHour + 1000, 1)}, true).check(),
              "Phase 1 (Long): a phase lasts 100 ms to 24 h, not 86401 s");
    SchedulePhase lossy = phase("Lossy", 1000, 1);
    lossy.parameters.packetLossPercent = 101;
    EXPECT_EQ(phases({phase("", 1000, 1), lossy}, true).check(),
              "Phase 2 (Lossy): Packet loss must be between 0 and 100 percent");
    // An outage's conditions are never shaped.
    SchedulePhase quiet = outage(1000);
    quiet.parameters.packetLossPercent = 101;
    EXPECT_EQ(phases({quiet}, true).check(), std::nullopt);
    EXPECT_EQ(phases({phase("Two\nlines", 1000, 1)}, true).check(),
              "Phase 1: a phase's name is one line of at most 100 characters");

    EXPECT_EQ(trace({1000}, {}, 99).check(), "A trace's step lasts 100 ms to 1 s, not 99 ms");
    EXPECT_EQ(trace({1000}, {}, 1001).check(), "A trace's step lasts 100 ms to 1 s, not 1001 ms");
    EXPECT_EQ(trace({0, 1000}, {1, -1}).check(),
              "The upload trace, step 2: a rate is 0 to 1250000000 B/s, not -1");
    EXPECT_EQ(trace(std::vector<std::int64_t>(24 * 36'000 + 1, 1), {}).check(),
              "The download trace lasts at most 24 h, not 864001 steps of 100 ms");
    ThrottleSchedule both = trace({1}, {});
    both.phases = {phase("LTE", 100, 1)};
    EXPECT_EQ(both.check(), "A schedule has phases or a trace, not both");
}

TEST(ThrottleScheduleTest, PhasesStandWhereTheClockSaysPlayedOnceOrRepeated) {
    const ThrottleSchedule once =
        phases({phase("LTE", 1000, 100), outage(500), phase("3G", 2000, 30)}, false);
    ThrottleSchedule::Position start = once.at(0, kBase);
    EXPECT_EQ(start.phase, 0u);
    EXPECT_EQ(start.parameters.downloadBytesPerSecond, 100);
    EXPECT_EQ(start.nextChangeMs, 1000);
    EXPECT_EQ(start.nextPhaseMs, 1000);

    // An outage keeps the throttle's own conditions and blocks both ways.
    const ThrottleSchedule::Position out = once.at(1499, kBase);
    EXPECT_EQ(out.phase, 1u);
    EXPECT_EQ(out.parameters, kBase);
    EXPECT_TRUE(out.blocksDownload && out.blocksUpload);
    EXPECT_EQ(out.phaseStartMs, 1000);
    EXPECT_EQ(out.nextPhaseMs, 1500);

    // Played once, the last phase holds for good.
    for (const std::int64_t elapsed : {std::int64_t(1500), std::int64_t(3500), 400 * kHour}) {
        const ThrottleSchedule::Position last = once.at(elapsed, kBase);
        EXPECT_EQ(last.phase, 2u);
        EXPECT_EQ(last.phaseStartMs, 1500);
        EXPECT_EQ(last.nextChangeMs, std::nullopt);
        EXPECT_EQ(last.nextPhaseMs, std::nullopt);
        EXPECT_FALSE(last.blocksDownload || last.blocksUpload);
    }

    // Repeated, any time far on is where start + k cycles puts it.
    ThrottleSchedule repeated = once;
    repeated.repeat = true;
    const std::int64_t cycles = 1'000'003;
    const ThrottleSchedule::Position far = repeated.at(cycles * 3500 + 1200, kBase);
    EXPECT_EQ(far.phase, 1u);
    EXPECT_EQ(far.phaseStartMs, cycles * 3500 + 1000);
    EXPECT_EQ(far.nextChangeMs, cycles * 3500 + 1500);
    const ThrottleSchedule::Position wrapped = repeated.at(3500 * 2, kBase);
    EXPECT_EQ(wrapped.phase, 0u);
    EXPECT_EQ(wrapped.phaseStartMs, 7000);
    EXPECT_EQ(repeated.at(3499, kBase).nextPhaseMs, 3500);
}

TEST(ThrottleScheduleTest, ATraceLoopsEachDirectionOnItsOwnAndKeepsTheThrottlesOtherConditions) {
    const ThrottleSchedule played = trace({100, 200, 300}, {10, 0});
    const ThrottleSchedule::Position step = played.at(7 * 100 + 50, kBase);
    // Step 7: download 7 mod 3 = 1, upload 7 mod 2 = 1, a gap.
    EXPECT_EQ(step.parameters.downloadBytesPerSecond, 200);
    EXPECT_FALSE(step.blocksDownload);
    EXPECT_TRUE(step.blocksUpload);
    EXPECT_EQ(step.parameters.uploadBytesPerSecond, kBase.uploadBytesPerSecond);
    EXPECT_EQ(step.parameters.latencyMs, kBase.latencyMs);
    EXPECT_EQ(step.nextChangeMs, 800);
    EXPECT_EQ(step.phase, 0u);
    EXPECT_EQ(step.nextPhaseMs, std::nullopt);

    // A direction the trace leaves out keeps the throttle's rate; the step
    // is counted from the start, however late the question comes.
    const ThrottleSchedule downloadOnly = trace({100, 200}, {}, 250);
    const ThrottleSchedule::Position later = downloadOnly.at(10 * kHour + 260, kBase);
    EXPECT_EQ(later.parameters.downloadBytesPerSecond, 200);
    EXPECT_EQ(later.parameters.uploadBytesPerSecond, kBase.uploadBytesPerSecond);
    EXPECT_EQ(later.nextChangeMs, 10 * kHour + 500);
}

TEST(ThrottleScheduleTest, TheDictionaryCarriesAScheduleWholeAndRefusesWhatDoesNotRead) {
    ThrottleSchedule schedule =
        phases({phase("LTE", 1000, 100), outage(500), phase("3G", 2000, 30)}, false);
    schedule.phases[2].parameters.packetLossPercent = 2.5;
    QString failure;
    EXPECT_EQ(ScheduleDictionary::fromWire(ScheduleDictionary::toWire(schedule), failure),
              schedule);
    const ThrottleSchedule recorded = trace({1, 0, 3}, {}, 200);
    EXPECT_EQ(ScheduleDictionary::fromWire(ScheduleDictionary::toWire(recorded), failure),
              recorded);
    // Lists as plain variant lists, as a JSON file gives them back.
    const QVariantMap plain{
        {"phases", QVariantList{QVariantMap{{"name", "Up"}, {"durationMs", qlonglong(100)}}}},
        {"trace", QVariantMap{}}};
    EXPECT_TRUE(ScheduleDictionary::fromWire(plain, failure)) << failure.toStdString();

    const auto refusal = [](const QVariantMap& dictionary) {
        QString why;
        EXPECT_FALSE(ScheduleDictionary::fromWire(dictionary, why));
        return why.toStdString();
    };
    EXPECT_EQ(refusal({{"phase", QVariantList{}}}), "Unknown schedule key \"phase\"");
    EXPECT_EQ(refusal({{"phases", QVariantList{QVariantMap{{"name", "Blip"},
                                                           {"durationMs", qlonglong(50)}}}}}),
              "Phase 1 (Blip): a phase lasts 100 ms to 24 h, not 50 ms");
    EXPECT_EQ(
        refusal({{"phases", QVariantList{QVariantMap{{"name", "Blip"}, {"durationMs", 100}}}}}),
        "Phase 1 (Blip): \"durationMs\" must be of type x (64-bit integer), not i");
    EXPECT_EQ(refusal({{"phases", QVariantList{QVariantMap{
                                      {"durationMs", qlonglong(100)},
                                      {"configuration", QVariantMap{{"latency", 1}}}}}}}),
              "Phase 1: Unknown parameter \"latency\"");
    EXPECT_EQ(refusal({{"phases", QVariantList{QVariantMap{{"name", "Up"}}}}}),
              "Phase 1 (Up): \"durationMs\" is missing");
    EXPECT_EQ(refusal({{"trace", QVariantMap{{"download", QVariantList{qlonglong(1), 2.0}}}}}),
              "Trace key \"download\" must be of type ax (list of 64-bit integers), not "
              "QVariantList");
    EXPECT_EQ(refusal({{"repeat", "yes"}}),
              "Schedule key \"repeat\" must be of type b (boolean), not s");
}

TEST(ThrottleScheduleTest, AStandingReadsBackAsItWasSent) {
    ScheduleDictionary::Standing standing{1'700'000'000'000, 2,     3,    "Outage",
                                          1'700'000'004'000, false, false};
    EXPECT_EQ(ScheduleDictionary::readStanding(ScheduleDictionary::standingToWire(standing)),
              standing);
    standing.nextPhaseAt.reset();
    const QVariantMap wire = ScheduleDictionary::standingToWire(standing);
    EXPECT_FALSE(wire.contains("nextPhaseAt"));
    EXPECT_EQ(ScheduleDictionary::readStanding(wire), standing);
}

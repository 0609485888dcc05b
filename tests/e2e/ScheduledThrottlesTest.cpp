// SPDX-License-Identifier: MIT
// Throttles whose conditions change over time, played by the sandboxed
// daemon itself on pf's fake tools: each step reconfigures that throttle's
// pipes alone.
#include "HelperOnPrivateBus.h"
#include "HelperProtocol.h"
#include "WaitUntil.h"

#include <QDBusConnection>
#include <QDBusMetaType>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <string>
#include <vector>

using testing::Contains;
using testing::Each;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::StartsWith;

namespace {

QVariantMap phase(const QString& name, qlonglong durationMs, qlonglong down) {
    return {{"name", name},
            {"durationMs", durationMs},
            {"configuration", QVariantMap{{"downloadBytesPerSecond", down}}}};
}

QVariantMap outage(qlonglong durationMs) {
    return {{"name", "Outage"}, {"durationMs", durationMs}, {"outage", true}};
}

QVariantMap schedule(const QList<QVariantMap>& phases, bool repeat) {
    return {{"phases", QVariant::fromValue(phases)}, {"repeat", repeat}};
}

class ScheduledThrottlesTest : public testing::Test {
protected:
    ScheduledThrottlesTest() { qDBusRegisterMetaType<QList<QVariantMap>>(); }

    QDBusMessage enable(const QString& who, const QVariantMap& parameters, bool hold = false) {
        QDBusConnection connection = helper.bus().connect(who);
        return HelperOnPrivateBus::call(connection, "EnableThrottlingWithParameters",
                                        {parameters, who, hold});
    }
    quint64 idOf(const QDBusMessage& reply) const {
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        return reply.arguments().value(0).toULongLong();
    }
    // The state's standing of throttle `id`'s schedule; empty when it has none.
    QVariantMap standingOf(quint64 id) {
        for (const QVariant& each : HelperOnPrivateBus::state(client).value("throttles").toList()) {
            if (each.toMap().value("id").toULongLong() == id) {
                return each.toMap().value("schedule").toMap();
            }
        }
        return {};
    }
    bool reachesPhase(quint64 id, qlonglong phase) {
        return waitUntil([&] { return standingOf(id).value("phase") == phase; });
    }
    std::vector<std::string> pipeRuns() const {
        std::vector<std::string> runs;
        for (const std::string& run : helper.tools().toolRuns()) {
            if (run.starts_with("dnctl") || run.starts_with("pfctl")) {
                runs.push_back(run);
            }
        }
        return runs;
    }

    HelperOnPrivateBus helper;
    QDBusConnection client = helper.bus().connect("client");
};

} // namespace

TEST_F(ScheduledThrottlesTest, PhasesChangeTheirThrottleInPlaceBesideAnotherAndEndWithIt) {
    const quint64 beside = idOf(
        enable("beside", {{"downloadBytesPerSecond", qlonglong(7000)},
                          {"scope", QVariantMap{{"destinations", QStringList{"10.0.0.0/8"}}}}}));
    const quint64 played = idOf(enable(
        "played",
        {{"downloadBytesPerSecond", qlonglong(9000)},
         {"schedule",
          schedule({phase("Fast", 200, 100000), outage(200), phase("Slow", 300, 20000)}, true)}}));
    const QVariantMap first = standingOf(played);
    EXPECT_EQ(first.value("phase"), 0);
    EXPECT_EQ(first.value("phaseCount"), 3);
    EXPECT_EQ(first.value("phaseName"), "Fast");
    EXPECT_EQ(first.value("nextPhaseAt").toLongLong() - first.value("startedAt").toLongLong(), 200);
    EXPECT_TRUE(standingOf(beside).isEmpty());
    helper.tools().clearToolRuns();

    // Around the cycle and into the next: each phase announced.
    ASSERT_TRUE(reachesPhase(played, 1));
    EXPECT_EQ(standingOf(played).value("phaseName"), "Outage");
    ASSERT_TRUE(reachesPhase(played, 2));
    ASSERT_TRUE(reachesPhase(played, 0));
    EXPECT_EQ(standingOf(played).value("startedAt"), first.value("startedAt"));

    // The whole machine's pipes 1 and 2 change, never the other throttle's
    // 3 and 4, nor pf's rules: nothing is taken down between phases. An
    // outage drops all that comes either way.
    // The state tells a phase when it begins; its step may still run.
    const auto ran = [&](const std::string& run) {
        return waitUntil([&] {
            const std::vector<std::string> runs = pipeRuns();
            return std::find(runs.begin(), runs.end(), run) != runs.end();
        });
    };
    EXPECT_TRUE(ran("dnctl pipe 1 config bw 100000Byte/s"));
    const std::vector<std::string> steps = pipeRuns();
    EXPECT_THAT(steps, Each(testing::AnyOf(StartsWith("dnctl pipe 1 config"),
                                           StartsWith("dnctl pipe 2 config"))));
    EXPECT_THAT(steps, Contains("dnctl pipe 1 config bw 9000Byte/s plr 1.000000"));
    EXPECT_THAT(steps, Contains("dnctl pipe 2 config plr 1.000000"));
    EXPECT_THAT(steps, Contains("dnctl pipe 1 config bw 20000Byte/s"));

    // Ended, its schedule stops; the other throttle stays as it was.
    QDBusMessage ended = HelperOnPrivateBus::call(client, "EndThrottle", {qulonglong(played)});
    ASSERT_EQ(ended.type(), QDBusMessage::ReplyMessage) << ended.errorMessage().toStdString();
    helper.tools().clearToolRuns();
    // Longer than any phase: a step still due would have run by then.
    waitUntil([] { return false; }, std::chrono::milliseconds(600));
    EXPECT_THAT(pipeRuns(), testing::IsEmpty());
    const QVariantList throttles = HelperOnPrivateBus::state(client).value("throttles").toList();
    ASSERT_EQ(throttles.size(), 1);
    EXPECT_EQ(throttles.at(0).toMap().value("id").toULongLong(), beside);
}

TEST_F(ScheduledThrottlesTest, SchedulesTheHelperCannotPlayAreRefusedNamingThePhase) {
    const auto refusal = [&](const QVariantMap& played) {
        const QDBusMessage reply = enable("refused", {{"schedule", played}});
        EXPECT_EQ(reply.errorName(), HelperProtocol::Error::kInvalidArguments);
        return reply.errorMessage().toStdString();
    };
    EXPECT_EQ(refusal(schedule({phase("LTE", 1000, 1), outage(50)}, true)),
              "Phase 2 (Outage): a phase lasts 100 ms to 24 h, not 50 ms");
    EXPECT_EQ(refusal({{"trace",
                        QVariantMap{{"stepMs", qlonglong(100)},
                                    {"upload", QVariant::fromValue(QList<qlonglong>{1000, -5})}}}}),
              "The upload trace, step 2: a rate is 0 to 1250000000 B/s, not -5");
    // dummynet takes no jitter: a phase with it is refused before anything
    // is shaped.
    QVariantMap jittery = phase("Jittery", 1000, 1);
    jittery.insert("configuration",
                   QVariantMap{{"latencyMs", qlonglong(50)}, {"jitterMs", qlonglong(10)}});
    const QDBusMessage reply = enable("refused", {{"schedule", schedule({jittery}, true)}});
    EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage);
    EXPECT_THAT(reply.errorMessage().toStdString(), HasSubstr("Jitter cannot be shaped"));
    EXPECT_THAT(pipeRuns(), testing::IsEmpty());
}

TEST_F(ScheduledThrottlesTest, ARestartedHelperResumesAHeldSchedulesPhaseWhereTheClockStands) {
    const quint64 held = idOf(
        enable("holder",
               {{"schedule",
                 schedule({phase("First", 300, 50000), phase("Last", 3'600'000, 3000)}, false)}},
               true));
    ASSERT_TRUE(reachesPhase(held, 1));
    const QVariantMap before = standingOf(held);
    EXPECT_FALSE(before.contains("nextPhaseAt"));

    const QString daemon = QString::fromUtf8(HelperProtocol::kServiceName);
    const qint64 killed = helper.bus().ownerPid(daemon);
    ASSERT_TRUE(signalProcess(killed, SIGKILL) && waitUntil([&] {
                    return !processAlive(killed) && helper.bus().ownerPid(daemon) != killed;
                }));
    helper.tools().clearToolRuns();

    // The next daemon shapes the phase the clock is in, not the first, and
    // keeps the schedule's start.
    EXPECT_EQ(standingOf(held), before);
    EXPECT_THAT(pipeRuns(), Contains("dnctl pipe 1 config bw 3000Byte/s"));
    EXPECT_THAT(pipeRuns(), testing::Not(Contains(HasSubstr("50000Byte/s"))));
}

// SPDX-License-Identifier: MIT
#include "HelperOnPrivateBus.h"
#include "HelperProtocol.h"
#include "ScheduleDictionary.h"
#include "ToolRuns.h"
#include "VeltranectlRunner.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <utility>

using testing::Contains;
using testing::ContainsRegex;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using namespace std::chrono_literals;

namespace {

const char* const kThreeGDownload = "dnctl pipe 1 config bw 97500Byte/s delay 50ms";
const char* const kThreeGUpload = "dnctl pipe 2 config bw 41250Byte/s delay 50ms";

// With the sandboxed daemon's private bus standing in for the system bus.
class ThrottleCommandsTest : public VeltranectlRunner {
protected:
    ThrottleCommandsTest() {
        environment.insert("DBUS_SYSTEM_BUS_ADDRESS", helper.bus().address());
    }

    Outcome runOnBus(const QString& busAddress, const QStringList& arguments) {
        const QProcessEnvironment usual = environment;
        environment.insert("DBUS_SYSTEM_BUS_ADDRESS", busAddress);
        Outcome outcome = run(arguments);
        environment = usual;
        return outcome;
    }

    bool daemonActive() {
        return HelperOnPrivateBus::call(client, "GetStatus").arguments().value(0).toBool();
    }

    std::vector<std::string> pipes() const { return pipeConfigurations(helper.tools().toolRuns()); }

    HelperOnPrivateBus helper;
    QDBusConnection client = helper.bus().connect("client");
};

TEST_F(ThrottleCommandsTest, ApplyStatusOffAndWatchDoWhatTheySayThroughTheDaemon) {
    // Watching all along: the state at once, then every change below.
    QProcess json;
    start(json, {"watch", "--json"});
    QProcess text;
    start(text, {"watch"});
    QByteArray jsonOut;
    QByteArray textOut;
    const auto watched = [&](const std::function<bool(const QList<QJsonObject>&)>& condition) {
        return waitUntil(
            [&] {
                jsonOut += json.readAllStandardOutput();
                textOut += text.readAllStandardOutput();
                QList<QJsonObject> states;
                for (const QByteArray& line : jsonOut.split('\n')) {
                    if (!line.isEmpty()) {
                        states << QJsonDocument::fromJson(line).object();
                    }
                }
                return !states.isEmpty() && textOut.endsWith('\n') && condition(states);
            },
            30s);
    };
    ASSERT_TRUE(watched([](const auto&) { return true; }));

    const Outcome off = run({"status"});
    EXPECT_EQ(off.status, 3);
    EXPECT_EQ(off.out, "Helper: enabled\nThrottling: off\nSelected profile: none\n");

    const Outcome applied = run({"apply", "3g"});
    ASSERT_EQ(applied.status, 0) << applied.err.toStdString();
    EXPECT_THAT(pipes(), ElementsAre(kThreeGDownload, kThreeGUpload));

    const Outcome on = run({"status", "--json"});
    EXPECT_EQ(on.status, 0);
    QJsonObject record = on.json().object();
    const QJsonObject owner = record.take("owner").toObject();
    // The one throttle, whole machine's, as the list tells it too.
    const QJsonArray throttles = record.take("throttles").toArray();
    ASSERT_EQ(throttles.size(), 1);
    EXPECT_EQ(throttles.at(0).toObject().value("scope").toObject().value("kind"), "machine");
    EXPECT_EQ(throttles.at(0).toObject().value("owner").toObject(), owner);
    EXPECT_EQ(
        record,
        (QJsonObject{{"helper", "enabled"},
                     {"helperStatus", 1},
                     {"throttling", true},
                     {"failure", QJsonValue()},
                     // Selected like the panel selects it.
                     {"selectedProfile",
                      QJsonObject{{"id", "00000000-0000-0000-0000-000000000002"}, {"name", "3G"}}},
                     {"error", QJsonValue()}}));
    EXPECT_EQ(owner.value("description").toString(), "veltranectl apply: 3G");
    EXPECT_FALSE(owner.value("held").toBool(true));
    EXPECT_TRUE(
        QDateTime::fromString(owner.value("since").toString(), Qt::ISODateWithMs).isValid());

    // Throttling on as asked is a success even when the selection cannot be
    // remembered.
    QFile notAFolder(home.filePath("file"));
    ASSERT_TRUE(notAFolder.open(QIODevice::WriteOnly));
    environment.insert("XDG_CONFIG_HOME", notAFolder.fileName());
    const Outcome unremembered = run({"apply", "edge"});
    EXPECT_EQ(unremembered.status, 0);
    EXPECT_THAT(unremembered.err.toStdString(),
                HasSubstr("Throttling is on, but the selection could not be remembered"));
    EXPECT_TRUE(daemonActive());

    ASSERT_EQ(run({"off"}).status, 0);
    EXPECT_FALSE(daemonActive());
    EXPECT_EQ(run({"status"}).status, 3);

    QList<QJsonObject> states;
    ASSERT_TRUE(watched([&states](const QList<QJsonObject>& seen) {
        states = seen;
        return seen.size() > 2 && !seen.constLast().value("active").toBool(true);
    }));
    signalProcess(json.processId(), SIGINT);
    EXPECT_EQ(finished(json).status, 0);
    signalProcess(text.processId(), SIGTERM);
    const Outcome textEnd = finished(text);
    EXPECT_EQ(textEnd.status, 0);
    textOut += textEnd.out.toUtf8();
    EXPECT_FALSE(states.constFirst().value("active").toBool(true));
    qint64 serial = -1;
    for (const QJsonObject& state : states) {
        EXPECT_GT(state.value("serial").toInteger(),
                  std::exchange(serial, state.value("serial").toInteger()));
    }
    EXPECT_THAT(textOut.toStdString(),
                ContainsRegex("..:..:.. on — D: 780 Kbps, U: 330 Kbps, 100ms — veltranectl apply: "
                              "3G \\(uid [0-9]+, pid [0-9]+, since [^)]+\\)\n"));
}

TEST_F(ThrottleCommandsTest, ApplyOfAScheduledProfileHandsItsPhasesToTheDaemonAndReturns) {
    // Phases alone, no conditions of its own: still something to apply.
    const Outcome applied = run({"apply", "Commuter Train"});
    ASSERT_EQ(applied.status, 0) << applied.err.toStdString();
    const QVariantList throttles = HelperOnPrivateBus::state(client).value("throttles").toList();
    ASSERT_EQ(throttles.size(), 1);
    const ScheduleDictionary::Standing standing =
        ScheduleDictionary::readStanding(throttles[0].toMap().value("schedule").toMap());
    EXPECT_EQ(standing.phaseName, "LTE");
    EXPECT_EQ(standing.phaseCount, 3);
    EXPECT_TRUE(standing.repeat);
    EXPECT_EQ(standing.nextPhaseAt, standing.startedAt + 40'000);
    // The first phase's rates are in force.
    EXPECT_THAT(pipes(), Contains(HasSubstr("bw 6250000Byte/s")));
}

TEST_F(ThrottleCommandsTest, StatusAndWatchShowWhereEachThrottlesScheduleStands) {
    ASSERT_EQ(
        run({"create", "--name", "Blink", "--phase", "200ms:3G", "--phase", "200ms:outage"}).status,
        0);
    QProcess json;
    start(json, {"watch", "--json"});
    QProcess text;
    start(text, {"watch"});
    const Outcome applied = run({"apply", "Blink"});
    ASSERT_EQ(applied.status, 0) << applied.err.toStdString();

    // The state is published on each change of phase: the outage is seen.
    QByteArray jsonOut;
    QByteArray textOut;
    QJsonObject outage;
    ASSERT_TRUE(waitUntil(
        [&] {
            jsonOut += json.readAllStandardOutput();
            textOut += text.readAllStandardOutput();
            for (const QByteArray& line : jsonOut.split('\n')) {
                const QJsonArray throttles =
                    QJsonDocument::fromJson(line).object().value("throttles").toArray();
                const QJsonObject schedule =
                    throttles.isEmpty() ? QJsonObject()
                                        : throttles[0].toObject().value("schedule").toObject();
                if (schedule.value("phase").toInt() == 2) {
                    outage = schedule;
                }
            }
            return !outage.isEmpty() && textOut.contains("phase 2 of 2 · Outage · next at ");
        },
        30s))
        << jsonOut.left(3000).toStdString() << textOut.left(2000).toStdString();
    // The phase stands for the throttle's own conditions, which it has none of.
    EXPECT_FALSE(textOut.contains("No limits"));
    EXPECT_EQ(outage.value("phaseName"), "Outage");
    EXPECT_EQ(outage.value("phaseCount"), 2);
    EXPECT_TRUE(outage.value("repeat").toBool());
    EXPECT_GT(QDateTime::fromString(outage.value("nextPhaseAt").toString(), Qt::ISODateWithMs),
              QDateTime::fromString(outage.value("startedAt").toString(), Qt::ISODateWithMs));
    signalProcess(json.processId(), SIGINT);
    signalProcess(text.processId(), SIGINT);
    EXPECT_EQ(finished(json).status, 0);
    EXPECT_EQ(finished(text).status, 0);

    // A snapshot tells the time left.
    EXPECT_THAT(run({"status"}).out.toStdString(),
                ContainsRegex("\nSchedule: phase [12] of 2 · (3G|Outage) · "
                              "([0-9]+ s left|next phase due)\n"));
    ASSERT_EQ(run({"off"}).status, 0);

    // Played once, the last phase holds; a trace says when it started.
    ASSERT_EQ(run({"edit", "Blink", "--once"}).status, 0);
    ASSERT_EQ(run({"apply", "Blink"}).status, 0);
    EXPECT_TRUE(waitUntil(
        [&] { return run({"status"}).out.contains("Schedule: phase 2 of 2 · Outage · holds\n"); },
        30s));
    QFile trace(home.filePath("down.trace"));
    ASSERT_TRUE(trace.open(QIODevice::WriteOnly));
    trace.write("0\n50\n100\n");
    trace.close();
    ASSERT_EQ(run({"edit", "Blink", "--trace-down", trace.fileName(), "--latency", "10ms"}).status,
              0);
    ASSERT_EQ(run({"apply", "Blink"}).status, 0);
    EXPECT_THAT(run({"status"}).out.toStdString(),
                ContainsRegex("\nSchedule: trace, started ..:..:..\n"));
}

TEST_F(ThrottleCommandsTest, AProfileThatBlocksAllTrafficNeedsYesBeforeTheProfile) {
    const Outcome refused = run({"apply", "100% loss"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, "'100% Loss' blocks all network traffic: confirm with --yes\n");
    // After the profile, --yes is the command's.
    EXPECT_EQ(run({"run", "100% Loss", "/bin/true", "--yes"}).status, 2);
    EXPECT_THAT(helper.tools().toolRuns(), IsEmpty());

    EXPECT_EQ(run({"apply", "--yes", "100% Loss"}).status, 0);
    EXPECT_TRUE(daemonActive());
}

TEST_F(ThrottleCommandsTest, FailuresSayWhatFailedAndExitOne) {
    PrivateBus empty(QList<PrivateBus::Service>{});
    const Outcome notInstalled = runOnBus(empty.address(), {"apply", "3G"});
    EXPECT_EQ(notInstalled.status, 1);
    EXPECT_EQ(notInstalled.err,
              "The helper tool is not installed. Please install it to enable throttling.\n");
    const Outcome off = runOnBus(empty.address(), {"off"});
    EXPECT_EQ(off.status, 1);
    EXPECT_TRUE(off.err.startsWith("Failed to communicate with helper: ")) << off.err.toStdString();
    // Nothing can throttle without the helper.
    const Outcome status = runOnBus(empty.address(), {"status"});
    EXPECT_EQ(status.status, 3);
    EXPECT_EQ(status.out, "Helper: not registered\nThrottling: off\nSelected profile: none\n");

    const QString nowhere = "unix:path=" + home.filePath("no-bus");
    const Outcome unreachable = runOnBus(nowhere, {"apply", "3G"});
    EXPECT_EQ(unreachable.status, 1);
    EXPECT_TRUE(unreachable.err.startsWith("Cannot reach the system bus: "));
    const Outcome unknown = runOnBus(nowhere, {"status", "--json"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_TRUE(unknown.json().object().value("error").toString().startsWith(
        "Cannot reach the system bus: "));
}

TEST_F(ThrottleCommandsTest,
       RunEndsOnlyItsOwnThrottleWhenTheCommandEndsAndGivesTheCommandEveryByte) {
    const quint64 beside = throttleBeside();
    const QString seen = home.filePath("seen");
    // The arguments after the profile, --yes and bytes that are no UTF-8
    // included, reach the command unchanged.
    QProcess process;
    start(process,
          {"-c", "exec \"$0\" run 3G sh -c \"$1\" --yes \"$(printf '\\377x')\"", VELTRANECTL,
           "printf '%s\\n' \"$0\" \"$1\" > '" + seen + "'; cat '" +
               QString::fromStdString(helper.tools().root()) + "/tool-runs.log' >> '" + seen +
               "'; exit 7"},
          "/bin/sh");
    ASSERT_TRUE(process.waitForFinished(60'000));
    EXPECT_EQ(process.exitCode(), 7) << process.readAllStandardError().toStdString();
    QFile during(seen);
    ASSERT_TRUE(during.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = during.readAll().split('\n');
    EXPECT_EQ(lines.mid(0, 2), (QList<QByteArray>{"--yes", "\xffx"}));
    // On while the command ran, off after it: its own, and only that.
    EXPECT_TRUE(lines.contains(kThreeGDownload));
    EXPECT_EQ(throttleIds(), QList<quint64>{beside});

    // A command that cannot run switches nothing on.
    helper.tools().clearToolRuns();
    EXPECT_EQ(run({"run", "3G", "--", "no-such-command-here"}).status, 127);
    EXPECT_THAT(helper.tools().toolRuns(), IsEmpty());
}

TEST_F(ThrottleCommandsTest, RunHoldsItsThrottlingAndItEndsWithRunHoweverRunEnds) {
    // A command line longer than the helper keeps names the owner all the same.
    const QString longArgument(300, u'é');
    quint64 beside = 0;
    for (const int signal : {SIGTERM, SIGHUP, SIGQUIT, SIGKILL}) {
        const QString started = home.filePath(QStringLiteral("started-%1").arg(signal));
        QProcess veltranectl;
        start(veltranectl, {"run", "3G", "--", "/bin/sh", "-c",
                            "echo $$ > '" + started + "'; exec sleep 60", longArgument});
        ASSERT_TRUE(waitUntil([&] { return QFileInfo(started).size() > 0; }, 30s));
        if (beside == 0) {
            EXPECT_THAT(run({"status"}).out.toStdString(),
                        ContainsRegex(QStringLiteral("\nOwner: veltranectl run: /bin/sh -c echo "
                                                     "[^\n]+… \\(uid [0-9]+, pid %1, since "
                                                     "[^)]+\\)\nHeld: yes")
                                          .arg(veltranectl.processId())
                                          .toStdString()));
            beside = throttleBeside();
        }

        signalProcess(veltranectl.processId(), signal);
        ASSERT_TRUE(veltranectl.waitForFinished(30'000))
            << signal << veltranectl.readAllStandardError().toStdString();
        if (signal == SIGKILL) {
            // Nothing of run is left to switch off: the helper does.
            EXPECT_EQ(veltranectl.exitStatus(), QProcess::CrashExit);
            QFile pid(started);
            ASSERT_TRUE(pid.open(QIODevice::ReadOnly));
            signalProcess(pid.readAll().trimmed().toLongLong(), SIGKILL);
        } else {
            EXPECT_EQ(veltranectl.exitStatus(), QProcess::NormalExit) << signal;
            EXPECT_EQ(veltranectl.exitCode(), 128 + signal);
        }
        EXPECT_TRUE(waitUntil([&] { return throttleIds() == QList<quint64>{beside}; }, 10s))
            << signal;
    }
}

TEST_F(ThrottleCommandsTest, RunThatCannotSwitchOffSaysThrottlingMayStillBeOnAndFails) {
    // The helper drops every throttle from its list when a removal fails,
    // this other client's too: the run's unlisted is no sign that it ended.
    throttleBeside();
    // The command takes away a tool that the helper needs to remove the shaping.
    const Outcome outcome = run({"run", "3G", "--", "/bin/rm",
                                 QString::fromStdString(helper.tools().path("/usr/sbin/dnctl"))});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.err.startsWith("Helper error: Could not remove all shaping: "))
        << outcome.err.toStdString();
    EXPECT_TRUE(outcome.err.endsWith("\nThrottling may still be on: run 'veltranectl off'.\n"));
}

TEST_F(ThrottleCommandsTest, RunOnlyWhoseThrottleCannotBeSwitchedOnRunsNothing) {
    // pf takes no command's scope; nor can a command have a cgroup where
    // no cgroup v2 hierarchy is mounted.
    const QString ran = home.filePath(QStringLiteral("ran"));
    const Outcome outcome = run({"run", "--only", "3G", "--", "/bin/touch", ran});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_FALSE(outcome.err.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(ran));
    EXPECT_THAT(helper.tools().toolRuns(), IsEmpty());
    EXPECT_FALSE(daemonActive());
}

} // namespace

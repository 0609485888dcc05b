// SPDX-License-Identifier: MIT
#include "ChaosWorkflowManifest.h"
#include "NetworkChaosManifest.h"
#include "ScheduleScript.h"
#include "ThrottleProfile.h"
#include "TrafficControlScript.h"
#include "TrafficControlSteps.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

ThrottleParameters threeG() {
    return {97'500, 41'250, 100, 1.0, 0};
}

// A name that ends a comment and runs a command wherever its line break
// is written out as it is.
QString hostile(const QString& marker) {
    return QStringLiteral("x\ntouch ") + marker + QStringLiteral(" #");
}

TEST(ExportsTest, TheScriptsHeaderStaysOneCommentWhateverItsTitleHolds) {
    QTemporaryDir folder;
    const QString marker = folder.filePath("ran");
    const std::string script =
        TrafficControlScript::write(threeG(), hostile(marker).toStdString() + "\x1b\x7f");
    const QString text = QString::fromStdString(script);
    EXPECT_EQ(text.section(u'\n', 1, 1), "# x touch " + marker + " #  ");

    // Without an interface the script only says how to run it.
    QFile file(folder.filePath("shape.sh"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(script));
    file.close();
    QProcess shell;
    shell.start("/bin/sh", {file.fileName()});
    ASSERT_TRUE(shell.waitForFinished());
    EXPECT_EQ(shell.exitCode(), 2);
    EXPECT_FALSE(QFile::exists(marker));
}

TEST(ExportsTest, TheManifestsCommentShowsANameAsTheTerminalOutputDoes) {
    const QString manifest =
        NetworkChaosManifest::write(threeG(), QStringLiteral("x\nkind: Pod\u202e"));
    EXPECT_EQ(manifest.section(u'\n', 0, 0),
              "# Veltrane profile \"x\\nkind: Pod\\u202e\" as Chaos Mesh NetworkChaos.");
    for (const QString& line : manifest.split(u'\n')) {
        EXPECT_NE(line, "kind: Pod");
    }
}

// tc, ip and sleep that only write down how they were run. The sleep
// returns at once, and at the `STOP_AT`th one interrupts the script as
// Ctrl-C would and waits to be taken down with its player.
constexpr const char* kFakeTool = R"sh(#!/bin/sh
name=${0##*/}
case "$name $*" in
"ip -o link show"*) echo "2: eth9: <BROADCAST,UP> mtu 1500 qdisc noqueue"; exit 0 ;;
"tc qdisc show"*) exit 0 ;;
esac
echo "$name $*" >>"$LOG"
if [ "$name" = sleep ] && [ "$(grep -c '^sleep' "$LOG")" -ge "$STOP_AT" ]; then
    read -r _ _ _ script _ </proc/$PPID/stat
    kill -INT "$script"
    exec /bin/sleep 30
fi
)sh";

struct ScriptRun {
    int exitCode = -1;
    QStringList log;
};

// Runs the script on "eth9" with the fake tools until its `stopAt`th sleep.
ScriptRun runWithFakeTools(const std::string& script, int stopAt) {
    QTemporaryDir folder;
    for (const char* tool : {"tc", "ip", "sleep"}) {
        QFile file(folder.filePath(tool));
        file.open(QIODevice::WriteOnly);
        file.write(kFakeTool);
        file.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    }
    QFile file(folder.filePath("shape.sh"));
    file.open(QIODevice::WriteOnly);
    file.write(QByteArray::fromStdString(script));
    file.close();
    QProcess shell;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PATH", folder.path() + ":/usr/bin:/bin");
    environment.insert("LOG", folder.filePath("log"));
    environment.insert("STOP_AT", QString::number(stopAt));
    shell.setProcessEnvironment(environment);
    shell.start("/bin/sh", {file.fileName(), "eth9"});
    ScriptRun run;
    if (!shell.waitForFinished(30000)) {
        shell.kill();
        shell.waitForFinished();
        return run;
    }
    run.exitCode = shell.exitCode();
    QFile log(folder.filePath("log"));
    log.open(QIODevice::ReadOnly);
    run.log = QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
    return run;
}

QStringList linesOf(const std::vector<TrafficControlStep>& steps) {
    QStringList lines;
    for (const TrafficControlStep& step : steps) {
        QString line = step.tool == TrafficControlStep::Tool::tc ? "tc" : "ip";
        for (const std::string& argument : step.arguments) {
            line += u' ' + QString::fromStdString(argument);
        }
        lines << line;
    }
    return lines;
}

QStringList setUp(const ShapingPlan& plan) {
    return linesOf(TrafficControlSteps::shaping("eth9", "vtifb-eth9", "1564",
                                                ShapingLayout::wholeMachine(plan)));
}

QStringList changed(const ShapingPlan& before, const ShapingPlan& after) {
    return linesOf(TrafficControlSteps::change("eth9", "vtifb-eth9", "1564",
                                               ShapingLayout::wholeMachine(before),
                                               ShapingLayout::wholeMachine(after)));
}

QStringList changesOf(QStringList log) {
    log.removeIf([](const QString& line) { return line.startsWith("sleep "); });
    return log;
}

const QStringList kRemoval = {"tc qdisc del dev eth9 handle ffff: ingress",
                              "ip link delete dev vtifb-eth9",
                              "tc qdisc del dev eth9 root handle 5654:"};

SchedulePhase phase(std::int64_t durationMs, const ThrottleParameters& parameters) {
    return {"", durationMs, false, parameters};
}

TEST(ExportsTest, TheScriptPlaysPhasesAsChangesInPlaceAndRemovesEverythingWhenStopped) {
    const ThrottleParameters lte{6'250'000, 1'250'000, 50, 0.0, 0};
    ThrottleSchedule schedule;
    schedule.phases = {phase(40'000, lte), {"Tunnel", 6'000, true, {}}, phase(14'000, threeG())};
    const auto plan = [](const ThrottleParameters& p) { return ShapingPlan::from(p); };
    // As the helper shapes an outage: the throttle's own conditions (none
    // here), everything lost both ways.
    const ShapingPlan outage = plan({}).blocking(true, true);

    // Stopped at its fourth sleep: after the cycle and the change back to LTE.
    const ScriptRun run = runWithFakeTools(TrafficControlScript::write({}, "t", {}, schedule), 4);
    const QStringList sleeps = run.log.filter(QRegularExpression("^sleep "));
    EXPECT_EQ(changesOf(run.log), setUp(plan(lte)) + changed(plan(lte), outage) +
                                      changed(outage, plan(threeG())) +
                                      changed(plan(threeG()), plan(lte)) + kRemoval)
        << run.log.join(u'\n').toStdString();
    EXPECT_EQ(run.exitCode, 130);
    // Each sleep lasts until its change's time from the start.
    ASSERT_EQ(sleeps.size(), 4);
    for (const QString& sleep : sleeps) {
        EXPECT_TRUE(QRegularExpression("^sleep \\d+\\.\\d{3}$").match(sleep).hasMatch())
            << sleep.toStdString();
    }
    EXPECT_LE(sleeps[0].mid(6).toDouble(), 40.0);

    // Without a schedule the script shapes and returns, as it always has.
    EXPECT_EQ(TrafficControlScript::write(lte, "t").find("trap"), std::string::npos);
}

TEST(ExportsTest, ATraceIsPlayedFromRunsOfOneRateWithTheHelpersChanges) {
    ThrottleSchedule schedule;
    schedule.trace.stepMs = 1000;
    schedule.trace.downloadBytesPerSecond = {1000, 1000, 0, 2000};
    const ThrottleParameters base{0, 41'250, 100, 1.0, 0};
    const std::string script = TrafficControlScript::write(base, "t", {}, schedule);
    // Equal steps are one line; the upload keeps the profile's rate.
    EXPECT_NE(script.find("<<'STEPS'\n2 "), std::string::npos);
    EXPECT_EQ(script.find("play_upload"), std::string::npos);

    const auto at = [&](std::int64_t rate) {
        ShapingPlan plan = ShapingPlan::from(base);
        plan.download.bandwidthBytesPerSecond = rate;
        if (rate == 0) {
            plan.download.packetLossPercent = 100.0;
        }
        return plan;
    };
    const ScriptRun run = runWithFakeTools(script, 4);
    // Nothing delivered lets nothing through, and the trace loops at its end.
    const QStringList expected = setUp(at(1000)) + changed(at(1000), at(0)) +
                                 changed(at(0), at(2000)) + changed(at(2000), at(1000)) + kRemoval;
    EXPECT_EQ(changesOf(run.log), expected) << run.log.join(u'\n').toStdString();
    EXPECT_EQ(run.exitCode, 130);

    // A day of 100 ms steps, every one a new rate.
    schedule.trace.stepMs = 100;
    schedule.trace.downloadBytesPerSecond.resize(864'000);
    for (std::size_t i = 0; i < 864'000; ++i) {
        schedule.trace.downloadBytesPerSecond[i] = 15'000 * static_cast<std::int64_t>(i % 1000 + 1);
    }
    EXPECT_LT(TrafficControlScript::write(base, "t", {}, schedule).size(), 20u << 20);
}

QJsonArray yamlDocuments(const QString& text) {
    QProcess yaml;
    yaml.start("/usr/bin/python3",
               {"-c", "import sys, yaml, json; "
                      "print(json.dumps(list(yaml.safe_load_all(sys.stdin))))"});
    yaml.write(text.toUtf8());
    yaml.closeWriteChannel();
    yaml.waitForFinished();
    return QJsonDocument::fromJson(yaml.readAllStandardOutput()).array();
}

ThrottleSchedule builtIn(const QString& name) {
    for (const ThrottleProfile& profile : ThrottleProfile::Preset::profiles()) {
        if (profile.name == name) {
            QString failure;
            return *profile.schedule.toSchedule(failure);
        }
    }
    return {};
}

TEST(ExportsTest, CommuterTrainBecomesARepeatedWorkflowOfItsPhases) {
    const ThrottleSchedule schedule = builtIn("Commuter Train");
    ASSERT_EQ(ChaosWorkflowManifest::refusal(schedule), std::nullopt);
    const QJsonArray documents =
        yamlDocuments(ChaosWorkflowManifest::write(schedule, "Commuter Train"));
    ASSERT_EQ(documents.size(), 1);
    const QJsonObject spec = documents[0]["spec"].toObject();
    EXPECT_EQ(documents[0]["kind"], "Schedule");
    EXPECT_EQ(spec["schedule"], "@every 60s");
    EXPECT_EQ(spec["type"], "Workflow");
    const QJsonObject workflow = spec["workflow"].toObject();
    QMap<QString, QJsonObject> templates;
    for (const QJsonValue& each : workflow["templates"].toArray()) {
        templates[each["name"].toString()] = each.toObject();
    }
    const QJsonObject serial = templates[workflow["entry"].toString()];
    EXPECT_EQ(serial["templateType"], "Serial");
    EXPECT_EQ(serial["deadline"], "60s");
    QStringList deadlines;
    for (const QJsonValue& child : serial["children"].toArray()) {
        deadlines << templates[child.toString()]["deadline"].toString();
    }
    EXPECT_EQ(deadlines, QStringList({"40s", "6s", "14s"}));
    // LTE shapes delay and bandwidth side by side; the tunnel loses everything.
    const QJsonObject lte = templates[serial["children"][0].toString()];
    EXPECT_EQ(lte["templateType"], "Parallel");
    const QJsonObject bandwidth =
        templates[lte["children"][1].toString()]["networkChaos"].toObject();
    EXPECT_EQ(bandwidth["bandwidth"].toObject()["rate"], "10mbit");
    const QJsonObject tunnel =
        templates[serial["children"][1].toString()]["networkChaos"].toObject();
    EXPECT_EQ(tunnel["action"], "netem");
    EXPECT_EQ(tunnel["loss"].toObject()["loss"], "100");

    // Played once, the Workflow is the resource and its last phase has no end.
    const QJsonArray once = yamlDocuments(ChaosWorkflowManifest::write(builtIn("Elevator"), "E"));
    ASSERT_EQ(once.size(), 1);
    EXPECT_EQ(once[0]["kind"], "Workflow");
    const QJsonArray last = once[0]["spec"].toObject()["templates"].toArray();
    EXPECT_FALSE(last.last().toObject().contains("deadline"));
}

TEST(ExportsTest, WhatChaosMeshCannotTimeIsRefusedNamingIt) {
    ThrottleSchedule trace;
    trace.trace.downloadBytesPerSecond = {1000, 2000};
    EXPECT_EQ(ChaosWorkflowManifest::refusal(trace),
              "a recorded link changes its rate every 100 ms, and Chaos Mesh sequences whole "
              "chaos, not rate steps; export it with --format tc");
    EXPECT_EQ(ChaosWorkflowManifest::refusal(builtIn("Flaky Wi-Fi")),
              "Phase 2 (Outage) lasts 300 ms, and Chaos Mesh takes about a second to start or "
              "end a chaos: it cannot time a phase shorter than 1 s");
    // A phase that holds has no duration to time.
    ThrottleSchedule once;
    once.repeat = false;
    once.phases = {phase(1000, threeG()), phase(100, threeG())};
    EXPECT_EQ(ChaosWorkflowManifest::refusal(once), std::nullopt);
}

} // namespace

// SPDX-License-Identifier: MIT
#include "HelperOnPrivateBus.h"
#include "HelperProtocol.h"
#include "ToolRuns.h"
#include "VeltranectlRunner.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>

using testing::ElementsAre;
using testing::IsEmpty;

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

TEST_F(ThrottleCommandsTest, ApplyStatusAndOffDoWhatTheySayThroughTheDaemon) {
    const Outcome off = run({"status"});
    EXPECT_EQ(off.status, 3);
    EXPECT_EQ(off.out, "Helper: enabled\nThrottling: off\nSelected profile: none\n");

    const Outcome applied = run({"apply", "3g"});
    ASSERT_EQ(applied.status, 0) << applied.err.toStdString();
    EXPECT_THAT(pipes(), ElementsAre(kThreeGDownload, kThreeGUpload));

    const Outcome on = run({"status", "--json"});
    EXPECT_EQ(on.status, 0);
    EXPECT_EQ(
        on.json().object(),
        (QJsonObject{{"helper", "enabled"},
                     {"helperStatus", 1},
                     {"throttling", true},
                     // Selected like the panel selects it.
                     {"selectedProfile",
                      QJsonObject{{"id", "00000000-0000-0000-0000-000000000002"}, {"name", "3G"}}},
                     {"error", QJsonValue()}}));

    ASSERT_EQ(run({"off"}).status, 0);
    EXPECT_FALSE(daemonActive());
    EXPECT_EQ(run({"status"}).status, 3);
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

TEST_F(ThrottleCommandsTest, RunThrottlesOnlyWhileTheCommandRunsAndGivesItEveryByte) {
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
    // On while the command ran, off after it.
    EXPECT_TRUE(lines.contains(kThreeGDownload));
    EXPECT_FALSE(daemonActive());

    // A command that cannot run switches nothing on.
    helper.tools().clearToolRuns();
    EXPECT_EQ(run({"run", "3G", "--", "no-such-command-here"}).status, 127);
    EXPECT_THAT(helper.tools().toolRuns(), IsEmpty());
}

TEST_F(ThrottleCommandsTest, RunPassesEndingSignalsToTheCommandAndStillSwitchesThrottlingOff) {
    for (const int signal : {SIGTERM, SIGHUP, SIGQUIT}) {
        const QString started = home.filePath(QStringLiteral("started-%1").arg(signal));
        QProcess veltranectl;
        start(veltranectl,
              {"run", "3G", "--", "/bin/sh", "-c", "touch '" + started + "'; exec sleep 60"});
        ASSERT_TRUE(waitUntil([&] { return QFile::exists(started); }, std::chrono::seconds(30)));
        EXPECT_TRUE(daemonActive());

        ::kill(static_cast<pid_t>(veltranectl.processId()), signal);
        ASSERT_TRUE(veltranectl.waitForFinished(30'000))
            << signal << veltranectl.readAllStandardError().toStdString();
        EXPECT_EQ(veltranectl.exitStatus(), QProcess::NormalExit) << signal;
        EXPECT_EQ(veltranectl.exitCode(), 128 + signal);
        EXPECT_FALSE(daemonActive()) << signal;
    }
}

} // namespace

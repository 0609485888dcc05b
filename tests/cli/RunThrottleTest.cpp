// SPDX-License-Identifier: MIT
// veltranectl run, whole machine and --only, beside another client's
// throttle: each run ends its own throttle alone, tells at once when it lost
// it, and a signal before its command starts means the command never does.
// Against the sandboxed daemon shaping a fake eth7 with traffic control,
// whose fake tools a test can hold up in the middle of an enable.
#include "HelperOnPrivateBus.h"
#include "VeltranectlRunner.h"
#include "WaitUntil.h"

#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// The batch line that makes the whole machine's class.
const char* const kWholeMachineClass = "class add dev eth7 parent 5654: classid 5654:1 ";
// What shapes a command's packets: its cgroup's rule, made only for it.
const char* const kCommandRule = "add table inet veltrane";

class RunThrottleTest : public VeltranectlRunner {
protected:
    RunThrottleTest() {
        // The daemon looks a command's cgroup up where the command is: in
        // this host's hierarchy.
        fs::create_directories(helper.tools().path("/sys/fs"));
        fs::create_symlink("/sys/fs/cgroup", helper.tools().path("/sys/fs/cgroup"));
        environment.insert("DBUS_SYSTEM_BUS_ADDRESS", helper.bus().address());
        // No user manager: a command's cgroup is made below the test's own.
        environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home.filePath("no-bus"));
    }

    // Where this test may not make cgroups (no root, none delegated), a run
    // --only can tell nothing: its cases come last.
    static bool cannotMakeCgroups(const QString& error) {
        return error.contains("Cannot give the command a cgroup of its own") &&
               (error.contains("cannot make") || error.contains("cannot move"));
    }

    // The throttle whose owner's description starts with `owner`, or 0.
    quint64 throttleOf(const QString& owner) const {
        const QJsonArray throttles =
            run({"status", "--json"}).json().object().value("throttles").toArray();
        for (const QJsonValue& throttle : throttles) {
            const QJsonObject record = throttle.toObject();
            if (record.value("owner")
                    .toObject()
                    .value("description")
                    .toString()
                    .startsWith(owner)) {
                return quint64(record.value("id").toInteger());
            }
        }
        return 0;
    }

    HelperOnPrivateBus helper{{{"--backend", "tc", "--interfaces", "eth7"}, std::nullopt, {}}};
};

TEST_F(RunThrottleTest, AThrottleThatEndsWhileTheCommandRunsIsToldAtOnceAndFailsItsSuccess) {
    const quint64 beside = throttleBeside();
    const struct {
        QStringList run;
        // Another client switches a whole machine's throttle on, which
        // replaces the run's and stays after it; else it ends the run's.
        bool replaces;
        int commandStatus;
        int expected;
    } cases[] = {
        {{"run", "Edge"}, true, 0, 1},
        // The command's own failure says more than the lost throttle.
        {{"run", "Edge"}, false, 5, 5},
        {{"run", "--only", "Edge"}, false, 0, 1},
    };
    int number = 0;
    for (const auto& each : cases) {
        SCOPED_TRACE(each.run.join(u' ').toStdString());
        const QString started = home.filePath(QStringLiteral("started-%1").arg(number));
        const QString go = home.filePath(QStringLiteral("go-%1").arg(++number));
        QProcess veltranectl;
        start(veltranectl,
              each.run + QStringList{"--", "/bin/sh", "-c",
                                     QStringLiteral("touch '%1'; while [ ! -e '%2' ]; do sleep "
                                                    "0.05; done; exit %3")
                                         .arg(started, go)
                                         .arg(each.commandStatus)});
        ASSERT_TRUE(waitUntil(
            [&] {
                return QFileInfo::exists(started) || veltranectl.state() == QProcess::NotRunning;
            },
            30s));
        if (!QFileInfo::exists(started)) {
            const Outcome early = finished(veltranectl);
            if (cannotMakeCgroups(early.err)) {
                GTEST_SKIP() << early.err.toStdString();
            }
            FAIL() << "the command did not start: " << early.err.toStdString();
        }
        const quint64 id = throttleOf("veltranectl run");
        ASSERT_NE(id, 0u);
        const Outcome ended = run(each.replaces ? QStringList{"apply", "3G"}
                                                : QStringList{"off", "--id", QString::number(id)});
        ASSERT_EQ(ended.status, 0) << ended.err.toStdString();
        const QList<quint64> left = throttleIds();

        // Told while the command still waits for the go.
        const QString line =
            QStringLiteral(
                "veltranectl: throttle %1 ended while the command ran: what follows runs "
                "unthrottled\n")
                .arg(id);
        QString error;
        EXPECT_TRUE(waitUntil(
            [&] {
                error += QString::fromUtf8(veltranectl.readAllStandardError());
                return error.contains(line);
            },
            30s))
            << error.toStdString();
        EXPECT_EQ(veltranectl.state(), QProcess::Running);

        QFile(go).open(QIODevice::WriteOnly);
        const Outcome outcome = finished(veltranectl);
        EXPECT_EQ(outcome.status, each.expected);
        EXPECT_EQ((error + outcome.err).toStdString(), line.toStdString());
        EXPECT_TRUE(left.contains(beside));
        EXPECT_EQ(throttleIds(), left);
    }
}

TEST_F(RunThrottleTest, ASignalWhileTheEnableIsHeldUpMeansTheCommandNeverStarts) {
    const quint64 beside = throttleBeside();
    const struct {
        QStringList run;
        const char* heldTool;
        const char* heldRun;
    } cases[] = {
        {{"run", "Edge"}, "tc", kWholeMachineClass},
        {{"run", "--only", "Edge"}, "nft", kCommandRule},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.run.join(u' ').toStdString());
        helper.tools().hold(each.heldTool, each.heldRun);
        const QString ran = home.filePath("ran");
        QProcess veltranectl;
        start(veltranectl, each.run + QStringList{"--", "/bin/touch", ran});
        ASSERT_TRUE(waitUntil(
            [&] { return helper.tools().holding() || veltranectl.state() == QProcess::NotRunning; },
            30s));
        if (!helper.tools().holding()) {
            const Outcome early = finished(veltranectl);
            if (cannotMakeCgroups(early.err)) {
                GTEST_SKIP() << early.err.toStdString();
            }
            FAIL() << "the enable was not held up: " << early.err.toStdString();
        }
        signalProcess(veltranectl.processId(), SIGTERM);
        helper.tools().release();

        const Outcome outcome = finished(veltranectl);
        EXPECT_EQ(outcome.status, 128 + SIGTERM) << outcome.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(ran));
        EXPECT_EQ(throttleIds(), QList<quint64>{beside});
    }
}

// The helper killed in the middle of a held enable: the answer is lost, and
// the run's throttle may have been switched on. Held by the run's connection,
// it ends with it; nothing else may.
TEST_F(RunThrottleTest, ARunWhoseEnableGotNoAnswerEndsNoOtherThrottle) {
    QDBusConnection holder = helper.bus().connect("holder");
    const QDBusMessage held = HelperOnPrivateBus::call(
        holder, "EnableThrottlingWithParameters",
        {QVariantMap{{"downloadBytesPerSecond", qlonglong(1000)},
                     {"scope", QVariantMap{{"destinations", QStringList{"10.0.0.1"}}}}},
         QStringLiteral("holder"), true});
    ASSERT_EQ(held.type(), QDBusMessage::ReplyMessage) << held.errorMessage().toStdString();
    const quint64 beside = held.arguments().value(0).toULongLong();

    helper.tools().hold("tc", kWholeMachineClass);
    const QString ran = home.filePath("ran");
    QProcess veltranectl;
    start(veltranectl, {"run", "Edge", "--", "/bin/touch", ran});
    ASSERT_TRUE(waitUntil(
        [&] { return helper.tools().holding() || veltranectl.state() == QProcess::NotRunning; },
        30s));
    ASSERT_TRUE(signalProcess(helper.bus().ownerPid("com.veltrane.helper"), SIGKILL));

    const Outcome outcome = finished(veltranectl);
    helper.tools().release();
    EXPECT_EQ(outcome.status, 1);
    // Held, it needs no "may still be on".
    EXPECT_EQ(outcome.err.toStdString(),
              "Failed to communicate with helper: Message recipient disconnected from "
              "message bus without replying\n");
    EXPECT_FALSE(QFileInfo::exists(ran));
    // The next helper takes the holder's throttle up again, as its holder
    // is still there.
    EXPECT_EQ(throttleIds(), QList<quint64>{beside});
}

} // namespace

// SPDX-License-Identifier: MIT
#include "HelperOnPrivateBus.h"
#include "HelperProtocol.h"

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

const std::vector<std::string> kThreeGRuns = {"pfctl -a com.veltrane -F all",
                                              "pfctl -f /etc/pf.conf",
                                              "dnctl pipe delete 1",
                                              "dnctl pipe delete 2",
                                              "dnctl -q flush",
                                              "dnctl pipe 1 config bw 97500Byte/s delay 50ms",
                                              "dnctl pipe 2 config bw 41250Byte/s delay 50ms",
                                              "pfctl -f /etc/pf.conf",
                                              "pfctl -a com.veltrane -f /tmp/veltrane_anchor.conf",
                                              "pfctl -e"};
const std::vector<std::string> kDisableRuns = {"pfctl -a com.veltrane -F all",
                                               "pfctl -f /etc/pf.conf", "dnctl pipe delete 1",
                                               "dnctl pipe delete 2", "dnctl -q flush"};

struct Outcome {
    int status = -1;
    QString out;
    QString err;

    QJsonObject json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
};

// veltranectl as a user runs it, in a home of its own, with the sandboxed
// daemon's private bus standing in for the system bus.
class ThrottleCommandsTest : public testing::Test {
protected:
    void start(QProcess& process, const QStringList& arguments,
               const QString& busAddress = {}) const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home.path());
        environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
        environment.insert("XDG_DATA_HOME", home.filePath("data"));
        environment.insert("DBUS_SYSTEM_BUS_ADDRESS",
                           busAddress.isEmpty() ? helper.bus().address() : busAddress);
        process.setProcessEnvironment(environment);
        // Standard input is no terminal here.
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(QStringLiteral(VELTRANECTL), arguments);
    }

    Outcome run(const QStringList& arguments, const QString& busAddress = {}) {
        QProcess process;
        start(process, arguments, busAddress);
        if (!process.waitForFinished(60'000)) {
            ADD_FAILURE() << "veltranectl did not finish";
        }
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    bool daemonActive() {
        return HelperOnPrivateBus::call(client, "GetStatus").arguments().value(0).toBool();
    }

    std::vector<std::string> toolRuns() const { return helper.tools().toolRuns(); }

    static std::vector<std::string> joined(std::vector<std::string> first,
                                           const std::vector<std::string>& second) {
        first.insert(first.end(), second.begin(), second.end());
        return first;
    }

    QTemporaryDir home;
    HelperOnPrivateBus helper;
    QDBusConnection client = helper.bus().connect("client");
};

TEST_F(ThrottleCommandsTest, ApplyStatusAndOffDoWhatTheySayThroughTheDaemon) {
    const Outcome applied = run({"apply", "3g"});
    ASSERT_EQ(applied.status, 0) << applied.err.toStdString();
    EXPECT_EQ(toolRuns(), kThreeGRuns);

    const QJsonObject status = run({"status", "--json"}).json();
    EXPECT_EQ(status.value("helper").toString(), "enabled");
    EXPECT_EQ(status.value("helperStatus").toInt(), 1);
    EXPECT_TRUE(status.value("throttling").toBool());
    // Selected like the panel selects it.
    EXPECT_EQ(status.value("selectedProfile").toObject().value("name").toString(), "3G");

    helper.tools().clearToolRuns();
    const Outcome off = run({"off"});
    ASSERT_EQ(off.status, 0) << off.err.toStdString();
    EXPECT_EQ(toolRuns(), kDisableRuns);
    EXPECT_EQ(run({"status"}).out, "Helper: enabled\nThrottling: off\nSelected profile: 3G\n");
}

TEST_F(ThrottleCommandsTest, AProfileThatBlocksAllTrafficNeedsYesWithoutATerminal) {
    const Outcome refused = run({"apply", "100% loss"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_THAT(refused.err.toStdString(), testing::HasSubstr("--yes"));
    EXPECT_THAT(toolRuns(), IsEmpty());
    EXPECT_EQ(run({"run", "100% Loss", "--", "/bin/true"}).status, 2);
    EXPECT_THAT(toolRuns(), IsEmpty());

    EXPECT_EQ(run({"apply", "--yes", "100% Loss"}).status, 0);
    EXPECT_TRUE(daemonActive());
}

TEST_F(ThrottleCommandsTest, FailuresPrintTheDescriptionAndExitOne) {
    PrivateBus empty(QList<PrivateBus::Service>{});
    const Outcome notInstalled = run({"apply", "3G"}, empty.address());
    EXPECT_EQ(notInstalled.status, 1);
    EXPECT_EQ(notInstalled.err,
              "The helper tool is not installed. Please install it to enable throttling.\n");
    const Outcome off = run({"off"}, empty.address());
    EXPECT_EQ(off.status, 1);
    EXPECT_TRUE(off.err.startsWith("Failed to communicate with helper: ")) << off.err.toStdString();
    const Outcome status = run({"status"}, empty.address());
    EXPECT_EQ(status.status, 0);
    EXPECT_EQ(status.out, "Helper: not registered\nThrottling: unknown\nSelected profile: none\n");
}

TEST_F(ThrottleCommandsTest, RunSwitchesThrottlingOffAfterTheCommandAndPassesItsStatusOn) {
    const QString seen = home.filePath("seen");
    const Outcome ran = run({"run", "3G", "--", "/bin/sh", "-c",
                             "cat '" + QString::fromStdString(helper.tools().root()) +
                                 "/tool-runs.log' > '" + seen + "'; exit 3"});
    EXPECT_EQ(ran.status, 3) << ran.err.toStdString();
    // On while the command ran, off after it.
    QFile during(seen);
    ASSERT_TRUE(during.open(QIODevice::ReadOnly));
    EXPECT_EQ(during.readAll().count('\n'), static_cast<qsizetype>(kThreeGRuns.size()));
    EXPECT_EQ(toolRuns(), joined(kThreeGRuns, kDisableRuns));
    EXPECT_FALSE(daemonActive());

    // A command that cannot run switches nothing on.
    helper.tools().clearToolRuns();
    EXPECT_EQ(run({"run", "3G", "--", "no-such-command-here"}).status, 127);
    EXPECT_THAT(toolRuns(), IsEmpty());
}

TEST_F(ThrottleCommandsTest, RunPassesSigtermToTheCommandAndStillSwitchesThrottlingOff) {
    const QString started = home.filePath("started");
    QProcess veltranectl;
    start(veltranectl,
          {"run", "3G", "--", "/bin/sh", "-c", "touch '" + started + "'; exec sleep 60"});
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(started); }, std::chrono::seconds(30)));
    EXPECT_TRUE(daemonActive());

    ::kill(static_cast<pid_t>(veltranectl.processId()), SIGTERM);
    ASSERT_TRUE(veltranectl.waitForFinished(30'000));
    EXPECT_EQ(veltranectl.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(veltranectl.exitCode(), 128 + SIGTERM);
    EXPECT_FALSE(daemonActive());
    EXPECT_EQ(toolRuns(), joined(kThreeGRuns, kDisableRuns));
}

} // namespace

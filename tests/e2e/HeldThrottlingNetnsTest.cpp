// SPDX-License-Identifier: MIT
// Held throttling on a real kernel: the sandboxed daemon with the real tc and
// ip, in a network namespace of the test's own, behind a private bus. Needs
// root; skips, saying why, where the kernel lacks what shaping needs.
#include "HelperOnPrivateBus.h"
#include "NetnsTest.h"
#include "WaitUntil.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <linux/magic.h>
#include <regex>
#include <string>
#include <sys/statfs.h>
#include <utility>

using namespace std::chrono_literals;
using Side = NetnsPair::Side;

namespace {

// The daemon as installed, with the real tools, in a network namespace of the
// test's own; veltranectl reaches it with a home of its own.
class HeldThrottlingNetnsTest : public NetnsTest {
protected:
    void SetUp() override {
        NetnsTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        // The bus, and so the daemon it starts, live in the shaped namespace.
        {
            const NetnsScope scope(pair->fd(Side::shaped));
            helper.emplace(HelperOnPrivateBus::Options{
                {QStringLiteral("--backend"), QStringLiteral("tc")}, std::nullopt, {}});
        }
        for (const std::string tool : {"/usr/sbin/tc", "/usr/sbin/ip", "/usr/sbin/nft"}) {
            std::filesystem::remove(helper->tools().path(tool));
            std::filesystem::create_symlink(tool, helper->tools().path(tool));
        }
        environment.insert("HOME", home.path());
        environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
        environment.insert("XDG_DATA_HOME", home.filePath("data"));
        environment.insert("DBUS_SYSTEM_BUS_ADDRESS", helper->bus().address());
    }

    std::string tc(const std::vector<std::string>& arguments) {
        return pair->run(Side::shaped, "/usr/sbin/tc", arguments);
    }

    // veltranectl started with `arguments`, left running.
    void start(QProcess& process, const QStringList& arguments) const {
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(VELTRANECTL), arguments);
    }

    // veltranectl run to its end: its exit status and what it said on stderr.
    std::pair<int, QString> veltranectl(const QStringList& arguments) const {
        QProcess process;
        start(process, arguments);
        process.waitForFinished(30'000);
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
    }

    std::optional<HelperOnPrivateBus> helper;
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

TEST_F(HeldThrottlingNetnsTest, AHeldRunKilledWithSigkillLeavesNoQdiscBehind) {
    const auto qdiscs = [&] { return tc({"qdisc", "show"}); };
    const std::string before = qdiscs();

    const QString commandPid = home.filePath("command.pid");
    QProcess run;
    start(run, {"run", "3G", "--", "/bin/sh", "-c", "echo $$ > " + commandPid + "; exec sleep 30"});

    QDBusConnection client = helper->bus().connect("client");
    const auto active = [&] {
        return HelperOnPrivateBus::call(client, "GetStatus").arguments().value(0).toBool();
    };
    ASSERT_TRUE(waitUntil([&] { return active() || run.state() == QProcess::NotRunning; }, 20s));
    if (!active()) {
        run.waitForFinished(5'000);
        const QString error = QString::fromUtf8(run.readAllStandardError());
        if (error.contains(QStringLiteral("the kernel lacks"))) {
            GTEST_SKIP() << error.toStdString();
        }
        FAIL() << "veltranectl run did not switch throttling on: " << error.toStdString();
    }
    EXPECT_THAT(qdiscs(), testing::HasSubstr("qdisc htb 5654: dev vt0 root"));

    signalProcess(run.processId(), SIGKILL);
    run.waitForFinished(5'000);
    // The daemon sees its holder's connection close and takes everything away;
    // its state turns off only once the whole removal is through, a moment
    // after the qdiscs have gone.
    EXPECT_TRUE(waitUntil([&] { return qdiscs() == before && !active(); }, 5s))
        << qdiscs() << "active: " << active();

    QFile pidFile(commandPid);
    if (pidFile.open(QIODevice::ReadOnly)) {
        signalProcess(pidFile.readAll().trimmed().toLongLong(), SIGKILL);
    }
}

TEST_F(HeldThrottlingNetnsTest, AScopedThrottleBesideTheMachinesEndsAloneAndOffLeavesNothing) {
    // What is in force, without the counters that traffic moves.
    const auto shaping = [&] {
        return std::regex_replace(tc({"qdisc", "show"}) + tc({"filter", "show", "dev", "vt0"}),
                                  std::regex("direct_packets_stat [0-9]+ "), "");
    };
    const std::string before = shaping();

    const auto machine = veltranectl({"apply", "3G"});
    if (machine.second.contains(QStringLiteral("the kernel lacks"))) {
        GTEST_SKIP() << machine.second.toStdString();
    }
    ASSERT_EQ(machine.first, 0) << machine.second.toStdString();
    const std::string wholeMachine = shaping();
    const auto scoped = veltranectl({"apply", "Edge", "--only-to", "10.213.0.2:5201"});
    ASSERT_EQ(scoped.first, 0) << scoped.second.toStdString();
    // Traffic to the peer's port goes by a filter of its own: its address
    // and port in a u32 match.
    EXPECT_THAT(shaping(), testing::HasSubstr("match 0ad50002/ffffffff at 16"));

    ASSERT_EQ(veltranectl({"off", "--id", "2"}).first, 0);
    EXPECT_EQ(shaping(), wholeMachine);
    ASSERT_EQ(veltranectl({"off"}).first, 0);
    EXPECT_EQ(shaping(), before);
}

TEST_F(HeldThrottlingNetnsTest, ARunOnlyKilledWithSigkillLeavesNoShapingTableOrCgroupBehind) {
    struct statfs mounted {};
    if (::statfs("/sys/fs/cgroup", &mounted) != 0 || mounted.f_type != CGROUP2_SUPER_MAGIC) {
        GTEST_SKIP() << "no cgroup v2 file system at /sys/fs/cgroup";
    }
    // The daemon checks the command's cgroup where the command is.
    std::filesystem::create_directories(helper->tools().path("/sys/fs"));
    std::filesystem::remove_all(helper->tools().path("/sys/fs/cgroup"));
    std::filesystem::create_symlink("/sys/fs/cgroup", helper->tools().path("/sys/fs/cgroup"));
    const auto shaping = [&] {
        return tc({"qdisc", "show"}) + pair->run(Side::shaped, "/usr/sbin/nft", {"list", "tables"});
    };
    const std::string before = shaping();

    // No user manager: the cgroup is made below the test's own.
    environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home.filePath("no-bus"));
    const QString seen = home.filePath("seen");
    QProcess run;
    start(run, {"run", "--only", "3G", "--", "/bin/sh", "-c",
                "{ echo $$; cat /proc/self/cgroup; } > " + seen + ".part; mv " + seen + ".part " +
                    seen + "; exec sleep 30"});
    ASSERT_TRUE(waitUntil(
        [&] { return QFileInfo::exists(seen) || run.state() == QProcess::NotRunning; }, 20s));
    if (!QFileInfo::exists(seen)) {
        run.waitForFinished(5'000);
        const QString error = QString::fromUtf8(run.readAllStandardError());
        // A kernel without what shaping needs, or a container whose cgroups
        // cannot be delegated: nothing this test can tell.
        if (error.contains(QStringLiteral("the kernel lacks")) ||
            error.contains(QStringLiteral("Cannot give the command a cgroup of its own"))) {
            GTEST_SKIP() << error.toStdString();
        }
        FAIL() << "veltranectl run --only did not run its command: " << error.toStdString();
    }
    QFile file(seen);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_GE(lines.size(), 2);
    const qint64 command = lines[0].toLongLong();
    // Its first instruction ran in a cgroup of its own, and the shaping is in force.
    ASSERT_TRUE(lines[1].startsWith("0::/")) << lines[1].toStdString();
    const std::string cgroup = "/sys/fs/cgroup/" + lines[1].mid(4).toStdString();
    EXPECT_THAT(cgroup, testing::HasSubstr("/veltrane-run-"));
    EXPECT_THAT(shaping(), testing::HasSubstr("table inet veltrane"));

    signalProcess(run.processId(), SIGKILL);
    run.waitForFinished(5'000);
    EXPECT_TRUE(waitUntil([&] { return shaping() == before; }, 5s)) << shaping();
    // The command outlives its run, as with any run; once it is gone, the
    // next run removes what was its cgroup.
    signalProcess(command, SIGKILL);
    const auto next = veltranectl({"run", "--only", "3G", "--", "/bin/true"});
    EXPECT_EQ(next.first, 0) << next.second.toStdString();
    EXPECT_FALSE(std::filesystem::exists(cgroup)) << cgroup;
    EXPECT_EQ(shaping(), before);
}

} // namespace

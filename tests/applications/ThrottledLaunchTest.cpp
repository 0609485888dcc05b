// SPDX-License-Identifier: MIT
#include "ThrottledLaunch.h"

#include "FakeUserManager.h"
#include "PrivateBus.h"
#include "SystemdUserUnits.h"
#include "TaskDeadline.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

struct Launcher {
    PrivateBus bus{QList<PrivateBus::Service>{}};
    QTemporaryDir files;
    const QString proc = files.filePath(QStringLiteral("proc"));
    FakeUserManager manager{bus.connect(QStringLiteral("manager")),
                            files.filePath(QStringLiteral("cgroup")), proc};
    SystemdUserUnits units{bus.connect(QStringLiteral("panel"))};

    static DesktopEntry tool(const QString& exec) {
        DesktopEntry entry;
        entry.id = QStringLiteral("my-tool");
        entry.name = QStringLiteral("My Tool");
        entry.type = QStringLiteral("Application");
        entry.exec = exec;
        return entry;
    }
};

TEST(ThrottledLaunchTest, TheApplicationRunsInAScopeOfItsOwnOnlyOnceReleased) {
    Launcher launcher;
    // A space in the path: no shell splits it.
    const QString ran = launcher.files.filePath(QStringLiteral("it ran"));
    ThrottledLaunch launch(launcher.units, ProcessCgroups(launcher.proc, QString()));
    const QString cgroup = waitWithDeadline(
        launch.prepare(Launcher::tool(QStringLiteral("touch \"%1\" %U").arg(ran))), 10s);

    EXPECT_EQ(launch.unit(),
              QStringLiteral(R"(app-veltrane-my\x2dtool-%1.scope)").arg(launch.pid()));
    EXPECT_EQ(cgroup, FakeUserManager::appCgroup(launch.unit()));
    EXPECT_EQ(launcher.manager.startedScopes().value(launch.unit()),
              QList<quint32>{quint32(launch.pid())});
    EXPECT_FALSE(waitUntil([&] { return QFile::exists(ran); }, 200ms));
    EXPECT_EQ(launch.release(), std::nullopt);
    EXPECT_TRUE(waitUntil([&] { return QFile::exists(ran); }));
}

// A typed command is no desktop application: its scope is not named like one.
TEST(ThrottledLaunchTest, ATypedCommandWaitsInALaunchScopeOfItsOwn) {
    Launcher launcher;
    const QString ran = launcher.files.filePath(QStringLiteral("it ran"));
    ThrottledLaunch launch(launcher.units, ProcessCgroups(launcher.proc, QString()));
    const QString cgroup =
        waitWithDeadline(launch.prepareCommand(QStringLiteral("touch '%1'").arg(ran)), 10s);

    EXPECT_EQ(launch.unit(), QStringLiteral("veltrane-launch-%1.scope").arg(launch.pid()));
    EXPECT_EQ(cgroup, FakeUserManager::appCgroup(launch.unit()));
    EXPECT_EQ(launch.program(), QStandardPaths::findExecutable(QStringLiteral("touch")));
    EXPECT_FALSE(waitUntil([&] { return QFile::exists(ran); }, 200ms));
    EXPECT_EQ(launch.release(), std::nullopt);
    EXPECT_TRUE(waitUntil([&] { return QFile::exists(ran); }));
}

TEST(ThrottledLaunchTest, ALaunchGivenUpOrRefusedRunsNothingAndLeavesNothingRunning) {
    Launcher launcher;
    const QString ran = launcher.files.filePath(QStringLiteral("ran"));
    const DesktopEntry touch = Launcher::tool(QStringLiteral("touch ") + ran);
    ThrottledLaunch cancelled(launcher.units, ProcessCgroups(launcher.proc, QString()));
    waitWithDeadline(cancelled.prepare(touch), 10s);
    cancelled.cancel();
    EXPECT_TRUE(waitUntil([&] { return !processAlive(cancelled.pid()); }));

    ThrottledLaunch missing(launcher.units, ProcessCgroups(launcher.proc, QString()));
    EXPECT_THROW(waitWithDeadline(missing.prepare(Launcher::tool("no-such-program-here %U")), 10s),
                 LaunchError);
    EXPECT_EQ(missing.pid(), 0);

    launcher.manager.leave();
    ThrottledLaunch refused(launcher.units, ProcessCgroups(launcher.proc, QString()));
    EXPECT_THROW(waitWithDeadline(refused.prepare(touch), 10s), LaunchError);
    EXPECT_TRUE(waitUntil([&] { return !processAlive(refused.pid()); }));
    EXPECT_FALSE(QFile::exists(ran));
}

} // namespace

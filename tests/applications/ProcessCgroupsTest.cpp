// SPDX-License-Identifier: MIT
#include "ProcessCgroups.h"

#include "WriteFile.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(ProcessCgroupsTest, AProcessBelongsToTheUserManagersApplicationUnitAboveItsCgroup) {
    QTemporaryDir proc;
    const QString manager = ProcessCgroups::userManagerCgroup(1000);
    const auto process = [&](int pid, const QString& cgroup) {
        writeFile(proc.filePath(QStringLiteral("%1/cgroup").arg(pid)),
                  "12:pids:/elsewhere\n1:name=systemd:/v1\n0::/" + cgroup.toUtf8() + '\n');
    };
    process(100, manager + QStringLiteral("/app.slice/app-gnome-firefox-1234.scope"));
    process(101, manager + QStringLiteral("/app.slice/app-org.kde.dolphin@ab.service/worker"));
    process(102, manager + QStringLiteral(
                               "/app.slice/app-org.kde.konsole.slice/app-org.kde.konsole-5.scope"));
    process(103, QStringLiteral("user.slice/user-1000.slice/session-2.scope"));
    process(104,
            QStringLiteral("user.slice/user-1001.slice/user@1001.service/app.slice/app-x-9.scope"));
    process(105, manager + QStringLiteral("/app.slice/dbus.service"));
    const ProcessCgroups processes(proc.path(), QString());

    const std::optional<ProcessCgroup> firefox = processes.processCgroup(100, manager);
    ASSERT_TRUE(firefox && firefox->application);
    EXPECT_EQ(firefox->cgroup, manager + QStringLiteral("/app.slice/app-gnome-firefox-1234.scope"));
    EXPECT_EQ(firefox->application->cgroup, firefox->cgroup);
    EXPECT_EQ(firefox->application->application, (ApplicationUnitName{"gnome", "firefox"}));
    // A unit's own cgroups below it are still the application's.
    const std::optional<ProcessCgroup> dolphin = processes.processCgroup(101, manager);
    ASSERT_TRUE(dolphin && dolphin->application);
    EXPECT_EQ(dolphin->application->unit, QStringLiteral("app-org.kde.dolphin@ab.service"));
    EXPECT_EQ(dolphin->application->cgroup,
              manager + QStringLiteral("/app.slice/app-org.kde.dolphin@ab.service"));
    EXPECT_EQ(
        processes.processCgroup(102, manager).value().application.value().application.desktopId,
        "org.kde.konsole");
    for (const int elsewhere : {103, 104, 105}) {
        const std::optional<ProcessCgroup> found = processes.processCgroup(elsewhere, manager);
        ASSERT_TRUE(found.has_value());
        EXPECT_FALSE(found->application.has_value()) << found->cgroup.toStdString();
    }
    EXPECT_EQ(processes.processCgroup(106, manager), std::nullopt);
}

TEST(ProcessCgroupsTest, AUnitsProcessesAreThoseOfItsCgroupAndOfTheCgroupsBelowIt) {
    QTemporaryDir hierarchy;
    writeFile(hierarchy.filePath(QStringLiteral("a.scope/cgroup.procs")), "12\n3\n");
    writeFile(hierarchy.filePath(QStringLiteral("a.scope/sub/cgroup.procs")), "7\n");
    EXPECT_EQ(
        ProcessCgroups(QStringLiteral("/proc"), hierarchy.path()).pidsIn(QStringLiteral("a.scope")),
        (QList<qint64>{3, 7, 12}));
}

} // namespace

// SPDX-License-Identifier: MIT
#pragma once

#include "ApplicationUnitName.h"
#include "CgroupV2Mount.h"

#include <QList>
#include <QString>

#include <optional>
#include <sys/types.h>

// The application unit of the user's manager that a cgroup lies in.
struct ApplicationCgroup {
    // The unit's name, e.g. "app-gnome-firefox-1234.scope".
    QString unit;
    // The unit's own cgroup, which holds every process of it: the one to
    // throttle.
    QString cgroup;
    ApplicationUnitName application;

    bool operator==(const ApplicationCgroup&) const = default;
};

// A process's cgroup, and the application it belongs to when it has one.
struct ProcessCgroup {
    QString cgroup;
    std::optional<ApplicationCgroup> application;

    bool operator==(const ProcessCgroup&) const = default;
};

// Processes and cgroups as /proc and the cgroup v2 hierarchy show them.
// Every cgroup is a path below the hierarchy's root without a leading
// slash, as the helper takes it.
class ProcessCgroups final {
public:
    static constexpr const char* kMountPoint = "/sys/fs/cgroup";

    // `hierarchy`: where the cgroup v2 hierarchy is mounted, empty where
    // there is none (no cgroup's processes can be read then).
    explicit ProcessCgroups(QString procRoot = QStringLiteral("/proc"),
                            QString hierarchy = QString::fromUtf8(
                                CgroupV2Mount::find(kMountPoint).value_or(QByteArray())));

    // The cgroup that systemd gives the user manager of `uid`.
    static QString userManagerCgroup(uid_t uid);

    // The application unit of the manager whose cgroup is `managerCgroup`
    // that `cgroup` lies in, at any depth below the unit (a unit may keep
    // cgroups of its own below it); nothing for any other cgroup.
    static std::optional<ApplicationCgroup> applicationAt(const QString& cgroup,
                                                          const QString& managerCgroup);

    // The cgroup v2 of `process` (a PID or "self"), nothing when it has
    // none or is gone.
    std::optional<QString> cgroupOf(const QString& process) const;
    // The process's cgroup and, when it is in one of the user manager's
    // application units, that unit. Nothing when the process is gone.
    std::optional<ProcessCgroup> processCgroup(pid_t pid, const QString& managerCgroup) const;

    // The processes in `cgroup` and the cgroups below it, in order.
    QList<qint64> pidsIn(const QString& cgroup) const;
    // The process's command name (comm), empty when it is gone.
    QString commandOf(qint64 pid) const;

private:
    QString m_procRoot;
    QString m_hierarchy;
};

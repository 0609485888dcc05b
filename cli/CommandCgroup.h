// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <sys/types.h>

// A cgroup v2 of its own for one command's processes, so that the helper can
// tell their packets apart from everyone else's. Where systemd runs, its
// user manager makes it: a transient scope, which it removes once empty.
// Elsewhere it is made below this process's own cgroup, when that is the
// user's to change; one that a killed run left is removed by the next run
// once its command is gone.
class CommandCgroup final {
public:
    // Where the host mounts its cgroups; the cgroup v2 hierarchy is there,
    // or beside cgroup v1 at "unified" in it.
    static constexpr const char* kMountPoint = "/sys/fs/cgroup";

    // Moves the process `pid` into a new cgroup. Throws CliError saying why
    // none could be made.
    explicit CommandCgroup(pid_t pid);
    ~CommandCgroup();
    CommandCgroup(const CommandCgroup&) = delete;
    CommandCgroup& operator=(const CommandCgroup&) = delete;

    // Below the cgroup v2 hierarchy, without a leading slash, as a
    // throttle's scope takes it.
    const QString& path() const { return m_path; }

    // Removes the cgroup once its processes are gone. Why it could not, or
    // nothing.
    std::optional<QString> remove();

private:
    // Why the user manager made no scope, or nothing when it did.
    std::optional<QString> startScope(pid_t pid);
    // Why no cgroup could be made below this process's, or nothing.
    std::optional<QString> makeBelowOwn(pid_t pid);

    // The cgroup v2 hierarchy's mount point.
    QByteArray m_root;
    QString m_path;
    bool m_removed = false;
};

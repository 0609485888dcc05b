// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <optional>
#include <sys/types.h>

// A cgroup v2 of its own for one command's processes, so that the helper can
// tell their packets apart from everyone else's. It is made below this
// process's own cgroup, which the user's session delegates to the user:
// nobody else's processes can be put in it, and it goes with the session.
class CommandCgroup final {
public:
    // Where the cgroup2 file system is: the helper takes paths below it.
    static constexpr const char* kRoot = "/sys/fs/cgroup";

    // Moves the process `pid` into a new cgroup. Throws CliError saying why
    // none could be made.
    explicit CommandCgroup(pid_t pid);
    ~CommandCgroup();
    CommandCgroup(const CommandCgroup&) = delete;
    CommandCgroup& operator=(const CommandCgroup&) = delete;

    // Below kRoot, without a leading slash, as a throttle's scope takes it.
    const QString& path() const { return m_path; }

    // Removes the cgroup once its processes are gone. Why it could not, or
    // nothing.
    std::optional<QString> remove();

private:
    QString m_path;
    bool m_removed = false;
};

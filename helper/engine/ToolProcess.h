// SPDX-License-Identifier: MIT
#pragma once

#include "FileDescriptor.h"

#include <chrono>
#include <sys/types.h>

// A started tool and the process group it leads. However a run ends,
// nothing of the tool outlives it: what is still there when this goes is
// killed and reaped.
class ToolProcess final {
public:
    explicit ToolProcess(pid_t pid);
    ToolProcess(const ToolProcess&) = delete;
    ToolProcess& operator=(const ToolProcess&) = delete;
    ~ToolProcess();

    // Reaps the tool when it has exited; true from then on.
    bool hasExited();
    bool waitFor(std::chrono::milliseconds limit);

    // The group outlives its leader while any member lives, and its number
    // is not handed out again meanwhile, so this never hits a stranger.
    void signalGroup(int signal) const;

    // As shells report it, so that a killed tool never reads as success:
    // 128 plus the signal's number.
    int exitCode() const { return m_exitCode; }

    // A descriptor that becomes readable when the tool exits, so a wait on
    // its exit is one poll instead of naps; -1 where the kernel has none
    // (before Linux 5.3), and the naps stay.
    int exitWatch() const { return m_exitWatch.get(); }

private:
    pid_t m_pid;
    bool m_reaped = false;
    int m_exitCode = -1;
    FileDescriptor m_exitWatch;
};

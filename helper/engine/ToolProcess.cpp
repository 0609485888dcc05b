// SPDX-License-Identifier: MIT
#include "ToolProcess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

int exitCodeOf(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return -1;
}

FileDescriptor exitWatchOf(pid_t pid) {
#ifdef SYS_pidfd_open
    return FileDescriptor(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
#else
    (void)pid;
    return FileDescriptor(-1);
#endif
}

} // namespace

ToolProcess::ToolProcess(pid_t pid)
    : m_pid(pid)
    , m_exitWatch(exitWatchOf(pid)) {}

ToolProcess::~ToolProcess() {
    if (!m_reaped) {
        signalGroup(SIGKILL);
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

bool ToolProcess::hasExited() {
    if (m_reaped) {
        return true;
    }
    int status = 0;
    const pid_t result = ::waitpid(m_pid, &status, WNOHANG);
    if (result == m_pid) {
        m_reaped = true;
        m_exitCode = exitCodeOf(status);
    } else if (result < 0 && errno == ECHILD) {
        m_reaped = true;
    }
    return m_reaped;
}

bool ToolProcess::waitFor(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    auto pause = std::chrono::milliseconds(1);
    while (!hasExited()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
    return true;
}

void ToolProcess::signalGroup(int signal) const {
    ::kill(-m_pid, signal);
}

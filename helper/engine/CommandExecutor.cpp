// SPDX-License-Identifier: MIT
#include "CommandExecutor.h"

#include "FileDescriptor.h"
#include "Logger.h"
#include "Utf8.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace {

struct Pipe {
    FileDescriptor readEnd;
    FileDescriptor writeEnd;
};

// Were the daemon started with a standard stream closed, a pipe end could land
// on 1 or 2 and be clobbered by the child's own dup2 onto that number.
FileDescriptor aboveStandardStreams(FileDescriptor fd) {
    if (fd.get() > STDERR_FILENO) {
        return fd;
    }
    const int moved = ::fcntl(fd.get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    if (moved < 0) {
        throwErrno(errno);
    }
    return FileDescriptor(moved);
}

Pipe makePipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        throwErrno(errno);
    }
    FileDescriptor readEnd(fds[0]);
    FileDescriptor writeEnd(fds[1]);
    return Pipe{aboveStandardStreams(std::move(readEnd)),
                aboveStandardStreams(std::move(writeEnd))};
}

class SpawnAttributes final {
public:
    SpawnAttributes() {
        if (int error = posix_spawn_file_actions_init(&actions); error != 0) {
            throwErrno(error);
        }
        if (int error = posix_spawnattr_init(&attributes); error != 0) {
            posix_spawn_file_actions_destroy(&actions);
            throwErrno(error);
        }
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    ~SpawnAttributes() {
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }

    posix_spawn_file_actions_t actions{};
    posix_spawnattr_t attributes{};
};

void check(int error) {
    if (error != 0) {
        throwErrno(error);
    }
}

std::string joinCommandLine(const std::string& path, const std::vector<std::string>& arguments) {
    std::string line = path;
    for (const auto& argument : arguments) {
        line += ' ';
        line += argument;
    }
    return line;
}

std::string secondsText(std::chrono::milliseconds duration) {
    if (duration.count() % 1000 == 0) {
        return std::to_string(duration.count() / 1000);
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(duration.count()) / 1000.0);
    return text;
}

// Why a run was ended: the daemon's stop first, then the tool's own limit,
// else the deadline of the call it ran for.
std::string timeoutReason(bool stopping, bool pastTimeLimit, std::chrono::milliseconds timeLimit) {
    if (stopping) {
        return "Command ended because the helper is stopping: ";
    }
    if (pastTimeLimit) {
        return "Command timed out after " + secondsText(timeLimit) + " s: ";
    }
    return "Command ended: its call ran out of time: ";
}

// Reported the way shells do, so a killed tool never reads as success.
int exitCodeOf(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return -1;
}

// The tool and the process group it leads. However a run ends, nothing of
// the tool outlives it: what is still there at the end is killed and reaped.
class ToolProcess final {
public:
    explicit ToolProcess(pid_t pid)
        : m_pid(pid) {}
    ToolProcess(const ToolProcess&) = delete;
    ToolProcess& operator=(const ToolProcess&) = delete;
    ~ToolProcess() {
        if (!m_reaped) {
            signalGroup(SIGKILL);
            int status = 0;
            while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
            }
        }
    }

    // Reaps the tool when it has exited; true from then on.
    bool hasExited() {
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

    bool waitFor(std::chrono::milliseconds limit) {
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

    // The group outlives its leader while any member lives, and its number
    // is not handed out again meanwhile, so this never hits a stranger.
    void signalGroup(int signal) const { ::kill(-m_pid, signal); }

    int exitCode() const { return m_exitCode; }

private:
    pid_t m_pid;
    bool m_reaped = false;
    int m_exitCode = -1;
};

// A descriptor that becomes readable when the process exits, so a wait on
// the tool's exit is one poll instead of naps; -1 where the kernel has none
// (before Linux 5.3), and the naps stay.
FileDescriptor exitWatch(pid_t pid) {
#ifdef SYS_pidfd_open
    return FileDescriptor(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
#else
    (void)pid;
    return FileDescriptor(-1);
#endif
}

// Reads whatever both pipes hold now; a pipe at its end (or broken) is
// closed in `fds` by setting it to -1.
void readAvailable(std::array<pollfd, 2>& fds, const std::array<std::string*, 2>& sinks) {
    char buffer[65536];
    for (size_t i = 0; i < fds.size(); ++i) {
        while (fds[i].fd >= 0) {
            const ssize_t count = ::read(fds[i].fd, buffer, sizeof buffer);
            if (count > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(count));
            } else if (count < 0 && errno == EINTR) {
                continue;
            } else if (count < 0 && errno == EAGAIN) {
                break;
            } else {
                fds[i].fd = -1;
            }
        }
    }
}

// The current call's deadline of this thread (see CallDeadline).
thread_local CommandExecutor::Clock::time_point t_callDeadline =
    CommandExecutor::Clock::time_point::max();

} // namespace

CommandExecutor::CallDeadline::CallDeadline(Clock::time_point deadline) noexcept
    : m_outer(std::exchange(t_callDeadline, deadline)) {}

CommandExecutor::CallDeadline::~CallDeadline() {
    t_callDeadline = m_outer;
}

void CommandExecutor::CallDeadline::moveTo(Clock::time_point deadline) noexcept {
    t_callDeadline = deadline;
}

CommandExecutor::CommandExecutor(const Logger& logger, std::chrono::milliseconds timeLimit)
    : m_logger(logger)
    , m_timeLimit(timeLimit)
    , m_deadline(Clock::time_point::max().time_since_epoch().count()) {}

void CommandExecutor::endRunsBy(Clock::time_point deadline) const noexcept {
    m_deadline.store(deadline.time_since_epoch().count());
    ++m_stopRequests;
}

CommandResult CommandExecutor::execute(const std::string& executablePath,
                                       const std::vector<std::string>& arguments) const {
    const std::string commandLine = joinCommandLine(executablePath, arguments);
    const Clock::time_point callDeadline = t_callDeadline;
    if (Clock::now() >= callDeadline) {
        throw CommandTimeout("Command not started: its call ran out of time: " + commandLine);
    }
    m_logger.log("Executing: " + commandLine);
    const Clock::time_point started = Clock::now();
    const unsigned stopRequestsAtStart = m_stopRequests.load();

    Pipe outPipe = makePipe();
    Pipe errPipe = makePipe();

    SpawnAttributes spawn;
    check(posix_spawn_file_actions_adddup2(&spawn.actions, outPipe.writeEnd.get(), STDOUT_FILENO));
    check(posix_spawn_file_actions_adddup2(&spawn.actions, errPipe.writeEnd.get(), STDERR_FILENO));

    // The daemon's own signal mask and ignored signals (a bus library may block
    // or ignore some) must not leak into the tools it runs. A group of its own
    // lets a time-out end the tool together with anything it started.
    sigset_t emptyMask;
    sigemptyset(&emptyMask);
    sigset_t allSignals;
    sigfillset(&allSignals);
    check(posix_spawnattr_setsigmask(&spawn.attributes, &emptyMask));
    check(posix_spawnattr_setsigdefault(&spawn.attributes, &allSignals));
    check(posix_spawnattr_setpgroup(&spawn.attributes, 0));
    check(posix_spawnattr_setflags(
        &spawn.attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP));

    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(const_cast<char*>(executablePath.c_str()));
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    pid_t pid = 0;
    check(posix_spawn(&pid, executablePath.c_str(), &spawn.actions, &spawn.attributes, argv.data(),
                      environ));
    ToolProcess tool(pid);
    const FileDescriptor exited = exitWatch(pid);

    // Our copies of the write ends must go, or the reads below never see EOF.
    outPipe.writeEnd.reset();
    errPipe.writeEnd.reset();

    CommandResult result;
    try {
        for (const FileDescriptor* end : {&outPipe.readEnd, &errPipe.readEnd}) {
            if (::fcntl(end->get(), F_SETFL, O_NONBLOCK) != 0) {
                throwErrno(errno);
            }
        }
        std::array<pollfd, 2> fds{pollfd{outPipe.readEnd.get(), POLLIN, 0},
                                  pollfd{errPipe.readEnd.get(), POLLIN, 0}};
        const std::array<std::string*, 2> sinks{&result.output, &result.error};
        auto idlePause = std::chrono::milliseconds(1);
        while (true) {
            const bool pipesOpen = fds[0].fd >= 0 || fds[1].fd >= 0;
            if (tool.hasExited()) {
                readAvailable(fds, sinks);
                if (fds[0].fd >= 0 || fds[1].fd >= 0) {
                    // Something the tool started still holds its output: it
                    // must not hold the engine too.
                    tool.signalGroup(SIGKILL);
                }
                break;
            }
            const Clock::time_point deadline =
                std::min({started + m_timeLimit, Clock::time_point(Clock::duration(m_deadline)),
                          callDeadline});
            const Clock::time_point now = Clock::now();
            const bool stopping = m_stopRequests.load() != stopRequestsAtStart;
            if (now >= deadline || stopping) {
                tool.signalGroup(SIGTERM);
                if (!tool.waitFor(std::chrono::seconds(1))) {
                    tool.signalGroup(SIGKILL);
                    tool.waitFor(std::chrono::seconds(5));
                }
                throw CommandTimeout(
                    timeoutReason(stopping || now >= Clock::time_point(Clock::duration(m_deadline)),
                                  now >= started + m_timeLimit, m_timeLimit) +
                    commandLine);
            }
            // Open pipes and the exit watch wake the poll themselves; the
            // slice only bounds how late a deadline or a stop is noticed.
            // Without the exit watch, pipes at their end mean the tool is
            // exiting: look again soon.
            auto slice = std::chrono::milliseconds(100);
            if (!pipesOpen && exited.get() < 0) {
                slice = idlePause;
                idlePause = std::min(idlePause * 2, std::chrono::milliseconds(20));
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
            const int timeoutMs = static_cast<int>(
                std::max<std::int64_t>(1, std::min<std::int64_t>(slice.count(), left.count() + 1)));
            std::array<pollfd, 3> watched{fds[0], fds[1], pollfd{exited.get(), POLLIN, 0}};
            if (::poll(watched.data(), watched.size(), timeoutMs) < 0 && errno != EINTR) {
                throwErrno(errno);
            }
            fds[0].revents = watched[0].revents;
            fds[1].revents = watched[1].revents;
            readAvailable(fds, sinks);
        }
    } catch (...) {
        // Closed before the tool is killed and reaped: a tool blocked on a
        // full pipe then fails its write instead of waiting for us forever.
        outPipe.readEnd.reset();
        errPipe.readEnd.reset();
        throw;
    }
    result.exitCode = tool.exitCode();

    if (!isValidUtf8(result.output)) {
        result.output.clear();
    }
    if (!isValidUtf8(result.error)) {
        result.error.clear();
    }
    if (result.exitCode != 0) {
        m_logger.log("Command failed with exit code " + std::to_string(result.exitCode) + ": " +
                     result.error);
    }
    return result;
}

void CommandExecutor::executeIgnoringErrors(
    const std::string& executablePath, const std::vector<std::string>& arguments) const noexcept {
    try {
        execute(executablePath, arguments);
    } catch (const std::exception& error) {
        m_logger.log(std::string("Command failed (ignored): ") + error.what());
    } catch (...) {
        m_logger.log("Command failed (ignored): unknown error");
    }
}

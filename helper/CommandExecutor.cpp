// SPDX-License-Identifier: MIT
#include "CommandExecutor.h"

#include "FileDescriptor.h"
#include "Logger.h"
#include "Utf8.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Reads both pipes together until both are at end of file, so a child that
// fills one pipe while we wait on the other can never block.
void drain(int outFd, int errFd, std::string& output, std::string& error) {
    std::array<pollfd, 2> fds{pollfd{outFd, POLLIN, 0}, pollfd{errFd, POLLIN, 0}};
    std::array<std::string*, 2> sinks{&output, &error};
    char buffer[65536];
    int open = 2;
    while (open > 0) {
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            throwErrno(errno);
        }
        for (size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) {
                continue;
            }
            const ssize_t count = ::read(fds[i].fd, buffer, sizeof buffer);
            if (count > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(count));
            } else if (count == 0 || errno != EINTR) {
                fds[i].fd = -1;
                --open;
            }
        }
    }
}

int waitForExit(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            throwErrno(errno);
        }
    }
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    // Reported the way shells do, so a killed tool never reads as success.
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return -1;
}

std::string joinCommandLine(const std::string& path, const std::vector<std::string>& arguments) {
    std::string line = path;
    for (const auto& argument : arguments) {
        line += ' ';
        line += argument;
    }
    return line;
}

} // namespace

CommandExecutor::CommandExecutor(const Logger& logger)
    : m_logger(logger) {}

CommandResult CommandExecutor::execute(const std::string& executablePath,
                                       const std::vector<std::string>& arguments) const {
    m_logger.log("Executing: " + joinCommandLine(executablePath, arguments));

    Pipe outPipe = makePipe();
    Pipe errPipe = makePipe();

    SpawnAttributes spawn;
    check(posix_spawn_file_actions_adddup2(&spawn.actions, outPipe.writeEnd.get(), STDOUT_FILENO));
    check(posix_spawn_file_actions_adddup2(&spawn.actions, errPipe.writeEnd.get(), STDERR_FILENO));

    // The daemon's own signal mask and ignored signals (a bus library may block
    // or ignore some) must not leak into the tools it runs.
    sigset_t emptyMask;
    sigemptyset(&emptyMask);
    sigset_t allSignals;
    sigfillset(&allSignals);
    check(posix_spawnattr_setsigmask(&spawn.attributes, &emptyMask));
    check(posix_spawnattr_setsigdefault(&spawn.attributes, &allSignals));
    check(posix_spawnattr_setflags(&spawn.attributes,
                                   POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF));

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

    // Our copies of the write ends must go, or the reads below never see EOF.
    outPipe.writeEnd.reset();
    errPipe.writeEnd.reset();

    CommandResult result;
    try {
        drain(outPipe.readEnd.get(), errPipe.readEnd.get(), result.output, result.error);
    } catch (...) {
        waitForExit(pid);
        throw;
    }
    result.exitCode = waitForExit(pid);

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

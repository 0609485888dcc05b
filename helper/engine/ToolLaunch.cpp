// SPDX-License-Identifier: MIT
#include "ToolLaunch.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace {

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

} // namespace

ToolLaunch::Pipe ToolLaunch::makePipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        throwErrno(errno);
    }
    FileDescriptor readEnd(fds[0]);
    FileDescriptor writeEnd(fds[1]);
    return Pipe{aboveStandardStreams(std::move(readEnd)),
                aboveStandardStreams(std::move(writeEnd))};
}

ToolLaunch::ToolLaunch(const std::string& executablePath, const std::vector<std::string>& arguments,
                       Input input)
    : m_output(makePipe())
    , m_error(makePipe())
    , m_input(input == Input::pipe ? makePipe() : Pipe{FileDescriptor(), FileDescriptor()}) {
    SpawnAttributes spawn;
    if (input == Input::pipe) {
        // Room for a whole batch, so that writing it seldom waits on the
        // tool's reading; where the kernel refuses, it waits.
        ::fcntl(m_input.writeEnd.get(), F_SETPIPE_SZ, 1 << 20);
        check(
            posix_spawn_file_actions_adddup2(&spawn.actions, m_input.readEnd.get(), STDIN_FILENO));
    }
    check(posix_spawn_file_actions_adddup2(&spawn.actions, m_output.writeEnd.get(), STDOUT_FILENO));
    check(posix_spawn_file_actions_adddup2(&spawn.actions, m_error.writeEnd.get(), STDERR_FILENO));

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

    check(posix_spawn(&m_pid, executablePath.c_str(), &spawn.actions, &spawn.attributes,
                      argv.data(), environ));
    // Our copies of the write ends must go, or the reads never see the end.
    m_output.writeEnd.reset();
    m_error.writeEnd.reset();
    m_input.readEnd.reset();
}

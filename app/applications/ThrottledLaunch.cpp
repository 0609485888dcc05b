// SPDX-License-Identifier: MIT
#include "ThrottledLaunch.h"

#include "ApplicationUnitName.h"
#include "DesktopExec.h"
#include "LaunchCommandLine.h"
#include "SystemErrorText.h"

#include <QByteArrayList>
#include <QCoro/QCoroTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QStandardPaths>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <linux/close_range.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// The user manager's start job and the process's start each take this long at most.
constexpr std::chrono::milliseconds kTimeout{5000};

// Reads exactly one `T`; false on end of file, an error or `timeout`.
template <typename T>
bool readWithin(int fd, T& value, std::chrono::milliseconds timeout) {
    pollfd readable{fd, POLLIN, 0};
    if (::poll(&readable, 1, int(timeout.count())) != 1) {
        return false;
    }
    ssize_t got = 0;
    do {
        got = ::read(fd, &value, sizeof value);
    } while (got < 0 && errno == EINTR);
    return got == ssize_t(sizeof value);
}

// In the held process, between fork and exec: only async-signal-safe calls.
[[noreturn]] void holdThenRun(const char* program, char* const* argv, const int (&go)[2],
                              const int (&report)[2]) {
    // The go's other end closed here too, or giving up would never be seen.
    ::close(go[1]);
    ::close(report[0]);
    ::setsid();
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    // An ignored signal stays ignored across exec.
    ::signal(SIGPIPE, SIG_DFL);
    // Nothing of this process's reaches the application.
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    char byte = 0;
    ssize_t got = 0;
    do {
        got = ::read(go[0], &byte, 1);
    } while (got < 0 && errno == EINTR);
    if (got != 1) {
        ::_exit(0);
    }
    ::execv(program, argv);
    const int error = errno;
    [[maybe_unused]] const ssize_t written = ::write(report[1], &error, sizeof error);
    ::_exit(127);
}

} // namespace

ThrottledLaunch::ThrottledLaunch(UserUnits& units, ProcessCgroups processes, QObject* parent)
    : QObject(parent)
    , m_units(units)
    , m_processes(std::move(processes)) {}

ThrottledLaunch::~ThrottledLaunch() {
    cancel();
}

void ThrottledLaunch::startHeld(const QString& program, const QStringList& arguments) {
    // Made before fork: the child may not allocate.
    const QByteArray programPath = QFile::encodeName(program);
    QByteArrayList storage;
    for (const QString& argument : arguments) {
        storage << argument.toLocal8Bit();
    }
    std::vector<char*> argv;
    for (QByteArray& argument : storage) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    // A socket for the go, not a pipe: sending to a held process that was
    // killed meanwhile must fail, not raise SIGPIPE here.
    int go[2] = {-1, -1};
    int report[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, go) != 0 ||
        ::pipe2(report, O_CLOEXEC) != 0) {
        const int error = errno;
        for (const int fd : {go[0], go[1], report[0], report[1]}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
        throw LaunchError(
            QStringLiteral("Cannot start %1: %2").arg(program, systemErrorText(error)));
    }
    // Twice, so that the application is nobody's child here: the user
    // manager, or init, reaps it. The first child only reports the second's PID.
    const pid_t first = ::fork();
    if (first == 0) {
        const pid_t held = ::fork();
        if (held == 0) {
            holdThenRun(programPath.constData(), argv.data(), go, report);
        }
        [[maybe_unused]] const ssize_t written = ::write(report[1], &held, sizeof held);
        ::_exit(0);
    }
    const int forkError = errno;
    ::close(go[0]);
    ::close(report[1]);
    m_go = go[1];
    m_report = report[0];
    pid_t held = -1;
    if (first > 0) {
        ::waitpid(first, nullptr, 0);
        readWithin(m_report, held, kTimeout);
    }
    if (held <= 0) {
        closeDescriptors();
        throw LaunchError(QStringLiteral("Cannot start %1: %2")
                              .arg(program, systemErrorText(first < 0 ? forkError : EAGAIN)));
    }
    m_pid = held;
}

QString ThrottledLaunch::programPath(const QString& word) {
    if (!word.contains(u'/')) {
        return QStandardPaths::findExecutable(word);
    }
    const QFileInfo file(word);
    return file.isAbsolute() && file.isFile() && file.isExecutable() ? word : QString();
}

QCoro::Task<QString> ThrottledLaunch::prepare(DesktopEntry entry) {
    const QStringList arguments = DesktopExec::arguments(entry);
    if (arguments.isEmpty()) {
        throw LaunchError(
            QStringLiteral("%1 has no command that can be run: %2").arg(entry.name, entry.exec));
    }
    m_program = programPath(arguments.first());
    if (m_program.isEmpty()) {
        throw LaunchError(QStringLiteral("%1 cannot be started: there is no program %2")
                              .arg(entry.name, arguments.first()));
    }
    startHeld(m_program, arguments);
    m_unit = QString::fromStdString(
        ApplicationUnitName::scopeName(kLauncher, entry.id.toStdString(), std::to_string(m_pid)));
    co_return co_await moveIntoScope(
        entry.name, QStringLiteral("%1, started throttled by Veltrane").arg(entry.name));
}

QCoro::Task<QString> ThrottledLaunch::prepareCommand(QString commandLine) {
    const QStringList arguments = LaunchCommandLine::arguments(commandLine, QDir::homePath());
    const QString& word = arguments.first();
    m_program = programPath(word);
    if (m_program.isEmpty() && !word.contains(u'/')) {
        throw LaunchError(QStringLiteral("There is no program %1 on PATH").arg(word));
    }
    if (m_program.isEmpty() && !QFileInfo(word).isAbsolute()) {
        throw LaunchError(QStringLiteral("%1 is not a full path: give the program's path from /, "
                                         "or the name of one on PATH")
                              .arg(word));
    }
    if (m_program.isEmpty()) {
        throw LaunchError(QStringLiteral("%1 is not a program that can be run").arg(word));
    }
    startHeld(m_program, arguments);
    m_unit = QStringLiteral("veltrane-launch-%1.scope").arg(m_pid);
    co_return co_await moveIntoScope(
        QFileInfo(m_program).fileName(),
        QStringLiteral("%1, started throttled by Veltrane").arg(commandLine.trimmed()));
}

QCoro::Task<QString> ThrottledLaunch::moveIntoScope(QString name, QString description) {
    const QPointer<ThrottledLaunch> alive(this);
    std::optional<QString> failure;
    try {
        co_await m_units.startScope(m_unit, m_pid, description);
    } catch (const UserUnitsError& error) {
        failure = error.description();
    }
    if (!alive) {
        throw LaunchError(QStringLiteral("The launch of %1 was given up").arg(name));
    }
    if (failure) {
        cancel();
        throw LaunchError(
            QStringLiteral("systemd's user manager made no scope for %1: %2").arg(name, *failure));
    }
    // The move is the start job's, which may still run after the answer.
    QElapsedTimer waited;
    waited.start();
    while (alive && m_go >= 0) {
        const std::optional<QString> cgroup = m_processes.cgroupOf(QString::number(m_pid));
        if (cgroup && cgroup->endsWith(u'/' + m_unit)) {
            co_return *cgroup;
        }
        if (waited.elapsed() > kTimeout.count()) {
            break;
        }
        co_await QCoro::sleepFor(std::chrono::milliseconds(10));
    }
    if (!alive || m_go < 0) {
        throw LaunchError(QStringLiteral("The launch of %1 was given up").arg(name));
    }
    cancel();
    throw LaunchError(
        QStringLiteral("systemd's user manager did not move %1 into %2 in time").arg(name, m_unit));
}

std::optional<QString> ThrottledLaunch::release() {
    if (m_go < 0) {
        return QStringLiteral("No application is waiting to run");
    }
    const char go = 'g';
    const bool sent = ::send(m_go, &go, 1, MSG_NOSIGNAL) == 1;
    ::close(m_go);
    m_go = -1;
    int error = 0;
    // End of file: the command runs (the pipe closes on exec).
    const bool failed = sent && readWithin(m_report, error, kTimeout);
    closeDescriptors();
    if (!sent) {
        return QStringLiteral("The application's process ended before it could run %1")
            .arg(m_program);
    }
    if (failed) {
        return QStringLiteral("Cannot run %1: %2").arg(m_program, systemErrorText(error));
    }
    return std::nullopt;
}

void ThrottledLaunch::cancel() {
    closeDescriptors();
}

void ThrottledLaunch::closeDescriptors() {
    for (int* fd : {&m_go, &m_report}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

// SPDX-License-Identifier: MIT
#include "TerminalCommand.h"

#include "CliError.h"
#include "SystemErrorText.h"

#include <QEventLoop>
#include <QMetaObject>
#include <QString>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// What shells exit with for a command they cannot run.
constexpr int kNotFoundStatus = 127;

constexpr std::array kEndingSignals{SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Written by the signal handler, which may run on any thread of the
// process: lock-free atomics are safe there.
std::atomic<pid_t> g_child{0};
std::atomic<int> g_received{0};
// A signal still to pass on. Whoever takes it, the handler or the code that
// has just started the command, passes it on, so it reaches the command
// exactly once however the two interleave.
std::atomic<int> g_pending{0};
static_assert(std::atomic<pid_t>::is_always_lock_free);

void passOnPending(pid_t child) {
    if (const int signal = g_pending.exchange(0); signal != 0) {
        ::kill(child, signal);
    }
}

void onEndingSignal(int signal, siginfo_t* info, void*) {
    g_received.store(signal);
    // The terminal signals the whole foreground process group, a running
    // command included; passing it on as well would deliver it twice.
    if (info != nullptr && info->si_code == SI_KERNEL && g_child.load() > 0) {
        return;
    }
    g_pending.store(signal);
    if (const pid_t child = g_child.load(); child > 0) {
        passOnPending(child);
    }
}

// The arguments as execve() takes them; the pointers are into `texts`.
struct ArgumentVector {
    explicit ArgumentVector(const QList<QByteArray>& arguments)
        : texts(arguments.begin(), arguments.end()) {
        for (QByteArray& text : texts) {
            pointers.push_back(text.data());
        }
        pointers.push_back(nullptr);
    }
    ArgumentVector(const ArgumentVector&) = delete;
    ArgumentVector& operator=(const ArgumentVector&) = delete;

    std::vector<QByteArray> texts;
    std::vector<char*> pointers;
};

CliError cannotRun(const QByteArray& path, int error) {
    return CliError{kNotFoundStatus,
                    {QStringLiteral("Cannot run %1: %2")
                         .arg(QString::fromLocal8Bit(path), systemErrorText(error))}};
}

bool isExecutableFile(const QByteArray& path) {
    struct stat status {};
    return ::stat(path.constData(), &status) == 0 && S_ISREG(status.st_mode) &&
           ::access(path.constData(), X_OK) == 0;
}

} // namespace

struct TerminalCommand::Saved {
    std::array<struct sigaction, kEndingSignals.size()> ending{};
    struct sigaction pipe {};
};

TerminalCommand::TerminalCommand()
    : m_saved(std::make_unique<Saved>()) {
    struct sigaction action {};
    action.sa_sigaction = onEndingSignal;
    // No SA_RESTART: waitpid() must come back so that the loop sees the signal.
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    g_received.store(0);
    g_pending.store(0);
    for (size_t i = 0; i < kEndingSignals.size(); ++i) {
        sigaction(kEndingSignals[i], &action, &m_saved->ending[i]);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &m_saved->pipe);
}

TerminalCommand::~TerminalCommand() {
    for (size_t i = 0; i < kEndingSignals.size(); ++i) {
        sigaction(kEndingSignals[i], &m_saved->ending[i], nullptr);
    }
    sigaction(SIGPIPE, &m_saved->pipe, nullptr);
}

int TerminalCommand::receivedSignal() {
    return g_received.load();
}

QByteArray TerminalCommand::resolve(const QByteArray& program) {
    if (program.contains('/')) {
        if (isExecutableFile(program)) {
            return program;
        }
    } else if (!program.isEmpty()) {
        // Bytes, not text: a name that is no valid UTF-8 is still a file name.
        const char* path = std::getenv("PATH");
        for (const QByteArray& folder :
             QByteArray(path ? path : "/usr/local/bin:/usr/bin:/bin").split(':')) {
            const QByteArray candidate =
                (folder.isEmpty() ? QByteArray(".") : folder) + '/' + program;
            if (isExecutableFile(candidate)) {
                return candidate;
            }
        }
    }
    throw CliError{kNotFoundStatus,
                   {QStringLiteral("Command not found: ") + QString::fromLocal8Bit(program)}};
}

int TerminalCommand::run(const QByteArray& path, const QList<QByteArray>& arguments) {
    ArgumentVector argv(arguments);
    if (const int early = g_received.load()) {
        return 128 + early;
    }
    // The command starts as a shell would start it: no signal blocked, and
    // SIGPIPE back to its default. Caught signals reset at exec by themselves.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &pipe);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t child = 0;
    const int spawnError =
        posix_spawn(&child, path.constData(), nullptr, &attributes, argv.pointers.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (spawnError != 0) {
        throw cannotRun(path, spawnError);
    }
    return waitFor(child);
}

int TerminalCommand::run(const QByteArray& path, const QList<QByteArray>& arguments,
                         const std::function<void(pid_t)>& whileHeld) {
    ArgumentVector argv(arguments);
    if (const int early = g_received.load()) {
        return 128 + early;
    }
    int gate[2];
    if (::pipe2(gate, O_CLOEXEC) != 0) {
        throw CliError::failure(QStringLiteral("Cannot hold the command before it starts: ") +
                                systemErrorText(errno));
    }
    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(gate[0]);
        ::close(gate[1]);
        throw cannotRun(path, error);
    }
    if (child == 0) {
        // Only what is safe after fork() in a process with threads. A
        // signal passed on to the held command must end it: the handler it
        // inherited would take it in its stead, and the command would run.
        struct sigaction standard {};
        standard.sa_handler = SIG_DFL;
        for (const int signal : kEndingSignals) {
            ::sigaction(signal, &standard, nullptr);
        }
        // The gate opens with a byte; an end of file means the parent died
        // or was told to stop before the command's scope was in force, and
        // it must not run.
        ::close(gate[1]);
        char go = 0;
        ssize_t got = 0;
        do {
            got = ::read(gate[0], &go, 1);
        } while (got < 0 && errno == EINTR);
        if (got != 1) {
            ::_exit(kNotFoundStatus);
        }
        ::sigaction(SIGPIPE, &standard, nullptr);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execve(path.constData(), argv.pointers.data(), environ);
        static constexpr char kFailed[] = "veltranectl: cannot run the command\n";
        [[maybe_unused]] const ssize_t written = ::write(2, kFailed, sizeof kFailed - 1);
        ::_exit(kNotFoundStatus);
    }
    ::close(gate[0]);
    const auto neverStart = [&] {
        ::close(gate[1]);
        while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
    };
    try {
        whileHeld(child);
    } catch (...) {
        neverStart();
        throw;
    }
    // From here on a signal reaches the held command at once, and ends it
    // before it can run; one that came before must keep it from starting.
    g_child.store(child);
    if (const int early = g_received.load()) {
        neverStart();
        g_child.store(0);
        g_pending.store(0);
        return 128 + early;
    }
    const char go = 1;
    const ssize_t written = ::write(gate[1], &go, 1);
    ::close(gate[1]);
    if (written != 1) {
        ::kill(child, SIGKILL);
        while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
        g_child.store(0);
        // A signal since ended it where it was held.
        if (const int late = g_received.load()) {
            return 128 + late;
        }
        throw CliError::failure(QStringLiteral("Cannot start the held command"));
    }
    return waitFor(child);
}

int TerminalCommand::waitFor(pid_t child) {
    g_child.store(child);
    // A signal that came while the command was starting.
    passOnPending(child);

    // Waited for on a thread of its own, so that this thread's events (the
    // helper's news) are delivered while the command runs.
    int status = 0;
    int error = 0;
    QEventLoop running;
    std::thread waiter([&] {
        while (::waitpid(child, &status, 0) < 0) {
            if (errno != EINTR) {
                error = errno;
                break;
            }
        }
        QMetaObject::invokeMethod(&running, &QEventLoop::quit, Qt::QueuedConnection);
    });
    running.exec();
    waiter.join();
    g_child.store(0);
    if (error != 0) {
        throw CliError::failure(QStringLiteral("Lost the command: ") + systemErrorText(error));
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

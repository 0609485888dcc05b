// SPDX-License-Identifier: MIT
#include "TerminalCommand.h"

#include "CliError.h"

#include <QFileInfo>
#include <QStandardPaths>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

// What shells exit with for a command they cannot run.
constexpr int kNotFoundStatus = 127;

// Written by the signal handler: lock-free atomics are safe there.
std::atomic<pid_t> g_child{0};
std::atomic<int> g_received{0};
static_assert(std::atomic<pid_t>::is_always_lock_free);

void onTermination(int signal, siginfo_t* info, void*) {
    g_received.store(signal);
    const pid_t child = g_child.load();
    // A Ctrl-C reached the command's process group from the terminal
    // already; passing it on as well would deliver it twice.
    const bool fromTerminal = signal == SIGINT && info != nullptr && info->si_code == SI_KERNEL;
    if (child > 0 && !fromTerminal) {
        ::kill(child, signal);
    }
}

} // namespace

struct TerminalCommand::Saved {
    struct sigaction interrupt {};
    struct sigaction terminate {};
};

TerminalCommand::TerminalCommand()
    : m_saved(std::make_unique<Saved>()) {
    struct sigaction action {};
    action.sa_sigaction = onTermination;
    // No SA_RESTART: waitpid() must come back so that the loop sees the signal.
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &m_saved->interrupt);
    sigaction(SIGTERM, &action, &m_saved->terminate);
}

TerminalCommand::~TerminalCommand() {
    sigaction(SIGINT, &m_saved->interrupt, nullptr);
    sigaction(SIGTERM, &m_saved->terminate, nullptr);
}

int TerminalCommand::receivedSignal() {
    return g_received.load();
}

QString TerminalCommand::resolve(const QString& program) {
    QString path;
    if (program.contains(u'/')) {
        const QFileInfo file(program);
        if (file.isFile() && file.isExecutable()) {
            path = file.absoluteFilePath();
        }
    } else {
        path = QStandardPaths::findExecutable(program);
    }
    if (path.isEmpty()) {
        throw CliError{kNotFoundStatus, {QStringLiteral("Command not found: ") + program}};
    }
    return path;
}

int TerminalCommand::run(const QString& path, const QStringList& arguments) {
    std::vector<QByteArray> texts{path.toLocal8Bit()};
    for (const QString& argument : arguments) {
        texts.push_back(argument.toLocal8Bit());
    }
    std::vector<char*> argv;
    for (QByteArray& text : texts) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);

    // The handlers above end with exec in the child, which starts with the
    // default actions.
    pid_t child = 0;
    const int spawnError =
        posix_spawn(&child, argv.front(), nullptr, nullptr, argv.data(), environ);
    if (spawnError != 0) {
        throw CliError{kNotFoundStatus,
                       {QStringLiteral("Cannot run %1: %2")
                            .arg(path, QString::fromLocal8Bit(std::strerror(spawnError)))}};
    }
    g_child.store(child);
    // A termination that came before the child existed is passed on now.
    if (const int early = g_received.load(); early == SIGTERM) {
        ::kill(child, early);
    }

    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            g_child.store(0);
            throw CliError::failure(QStringLiteral("Lost the command: ") +
                                    QString::fromLocal8Bit(std::strerror(errno)));
        }
    }
    g_child.store(0);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

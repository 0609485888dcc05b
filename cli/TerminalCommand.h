// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>

#include <functional>
#include <memory>
#include <sys/types.h>

// Runs another program with this process's terminal while this process
// stays alive to clean up after it. For its lifetime SIGINT, SIGTERM, SIGHUP
// and SIGQUIT no longer end this process: each is passed on to the running
// command, except when the terminal sent it (Ctrl-C, Ctrl-\, a hang-up) to
// the whole foreground process group, which the command is part of and has
// received it already. SIGPIPE is ignored, so that a closed output cannot
// end this process before it has cleaned up. While the command runs, this
// thread's event loop runs, so that its objects hear of what happens
// meanwhile.
class TerminalCommand final {
public:
    TerminalCommand();
    ~TerminalCommand();
    TerminalCommand(const TerminalCommand&) = delete;
    TerminalCommand& operator=(const TerminalCommand&) = delete;

    // The last of those signals received so far, 0 for none.
    static int receivedSignal();

    // The program's path, looked up on PATH unless it has a slash. Throws
    // CliError with status 127 when there is none.
    static QByteArray resolve(const QByteArray& program);

    // Runs the program at `path` with `arguments` (the name it was given
    // first) and waits for it. Returns its exit status the way a shell
    // reports it (128 + the signal for a command that a signal ended). When
    // a signal came before the command could start, it is not started, and
    // the status is that of a command the signal ended. Throws CliError with
    // status 127 when it cannot start.
    int run(const QByteArray& path, const QList<QByteArray>& arguments);

    // As run(), with the command held before its first instruction while
    // `whileHeld` is given its process id: it starts only when that
    // returns. When that throws, or this process dies meanwhile, it never
    // starts; the exception is passed on once the held process is gone. Nor
    // does it start after one of those signals came while it was held.
    int run(const QByteArray& path, const QList<QByteArray>& arguments,
            const std::function<void(pid_t)>& whileHeld);

private:
    int waitFor(pid_t child);

    struct Saved;
    std::unique_ptr<Saved> m_saved;
};

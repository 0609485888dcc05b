// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

#include <memory>

// Runs another program with this process's terminal while this process
// stays alive to clean up after it. For its lifetime SIGINT and SIGTERM no
// longer end this process: SIGTERM, and a SIGINT sent by another process, is
// passed on to the running command; a Ctrl-C reaches the command from the
// terminal anyway.
class TerminalCommand final {
public:
    TerminalCommand();
    ~TerminalCommand();
    TerminalCommand(const TerminalCommand&) = delete;
    TerminalCommand& operator=(const TerminalCommand&) = delete;

    // SIGINT or SIGTERM received so far, 0 for none.
    static int receivedSignal();

    // The program's absolute path, looked up on PATH unless it has a slash.
    // Throws CliError with status 127 when there is none.
    static QString resolve(const QString& program);

    // Runs the program at `path` and waits for it. Returns its exit status
    // the way a shell reports it (128 + the signal for a command that a
    // signal ended). Throws CliError with status 127 when it cannot start.
    int run(const QString& path, const QStringList& arguments);

private:
    struct Saved;
    std::unique_ptr<Saved> m_saved;
};
